#include "compare/Highlighting.h"

#include "app/Form1.h"
#include "compare/Highlight.h"
#include "platform/RichTextBox.h"

namespace RTB {

namespace {

void highlightIn(RichTextBox &pane, const QString &text)
{
    const Compare::ColourRanges found = Compare::highlightOccurrences(pane.text(), text);
    if (found.empty())
        return;
    pane.colourRanges(found, kRed);
    pane.select(found.back().start, found.back().length);
}

} // namespace

void HighlightTextIn1(Form1 &form, const QString &text)
{
    highlightIn(*form.RichTextBox1, text);
}

void HighlightTextIn2(Form1 &form, const QString &text)
{
    highlightIn(*form.RichTextBox2, text);
}

} // namespace RTB
