// "Find Differences (Words)".
#include <QCoreApplication>

#include "app/Form1.h"
#include "compare/EngineRun.h"
#include "compare/WordComparison.h"
#include "platform/RichTextBox.h"
#include "shell/ErrorTrap.h"

namespace {

void showResult(RichTextBox &source, RichTextBox &result, const Compare::SideResult &found)
{
    result.setText(found.resultText);
    source.colourRanges(found.red, kRed);
    if (!found.red.empty())
        source.select(found.red.back().start, found.red.back().length);
}

} // namespace

void Form1::PushButton6_Click()
{
    const CommandScope scope(*this);
    if (!scope)
        return;
    const ErrorTrap trap(m_dialogs, QStringLiteral("in Pendrel2021/08/31.Form1.PushButton6_Click "));
    QString text1;
    QString text2;
    Compare::WordComparison found;
    trap(100, [] { QCoreApplication::processEvents(); });
    trap(102, [this] { setMousePointer(11); });
    trap(104, [this] {
        RichTextBox1->colourAll(kBlack);
        RichTextBox1->select(0, RichTextBox1->textLength());
    });
    trap(106, [this] {
        RichTextBox2->colourAll(kBlack);
        RichTextBox2->select(0, RichTextBox2->textLength());
    });
    trap(108, [&] {
        text1 = RichTextBox1->text();
        text2 = RichTextBox2->text();
    });
    trap(110, [this] {
        RichTextBox3->setText(QString());
        RichTextBox4->setText(QString());
    });
    trap(112, [&] {
        found = runEngine<Compare::WordComparison>(
            this, QStringLiteral("Finding the words that differ..."),
            [&](Compare::Progress &progress) {
                return Compare::findWordDifferences(text1, text2, &progress);
            });
    });
    trap(114, [&] { showResult(*RichTextBox1, *RichTextBox3, found.file1); });
    trap(116, [&] { showResult(*RichTextBox2, *RichTextBox4, found.file2); });
    trap(118, [this] { setMousePointer(0); });
}
