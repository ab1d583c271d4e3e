// "Find Differences (Lines)".
#include "window/commands/FindLineDifferences.h"

#include <QCoreApplication>

#include "window/Form1.h"
#include "runner/BackgroundRun.h"
#include "engine/LineComparison.h"
#include "pane/RichTextBox.h"
#include "window/ErrorTrap.h"

namespace RTB {

namespace {

void findDifferences(Form1 &form, RichTextBox &source, RichTextBox &other, RichTextBox &result,
                     const QString &location)
{
    const ErrorTrap trap(form.dialogs(), location);
    QString sourceText;
    QString otherText;
    Compare::SideResult found;
    trap(100, [&] { sourceText = source.text(); });
    trap(102, [&] { otherText = other.text(); });
    trap(104, [&] { result.setText(QString()); });
    trap(106, [&] {
        fillPane(&form, QStringLiteral("Finding the lines that differ..."), result,
                 [&](Compare::Progress &progress) {
                     found = Compare::findLineDifferences(sourceText, otherText, &progress);
                     return found.resultText;
                 });
    });
    trap(108, [&] {
        source.colourRanges(found.red, kRed);
        if (!found.red.empty())
            source.select(found.red.back().start, found.red.back().length);
    });
}

} // namespace

void FindDifferencesIn1(Form1 &form)
{
    findDifferences(form, *form.RichTextBox1, *form.RichTextBox2, *form.RichTextBox3,
                    QStringLiteral("in Pendrel2021/08/31.RTB.FindDifferencesIn1 "));
}

void FindDifferencesIn2(Form1 &form)
{
    findDifferences(form, *form.RichTextBox2, *form.RichTextBox1, *form.RichTextBox4,
                    QStringLiteral("in Pendrel2021/08/31.RTB.FindDifferencesIn2 "));
}

} // namespace RTB

void Form1::PushButton1_Click()
{
    const CommandScope scope(*this);
    if (!scope)
        return;
    const ErrorTrap trap(m_dialogs, QStringLiteral("in Pendrel2021/08/31.Form1.PushButton1_Click "));
    trap(100, [] { QCoreApplication::processEvents(); });
    trap(102, [this] { setMousePointer(11); });
    trap(104, [this] { RTB::FindDifferencesIn1(*this); });
    trap(106, [this] { RTB::FindDifferencesIn2(*this); });
    trap(108, [this] { setMousePointer(0); });
}
