// "Find Differences (Words)".
#include <memory>
#include <utility>

#include <QCoreApplication>

#include "base/BothAtOnce.h"
#include "engine/WordComparison.h"
#include "pane/RichTextBox.h"
#include "runner/BackgroundRun.h"
#include "text/ResultView.h"
#include "window/ErrorTrap.h"
#include "window/Form1.h"

namespace {

// One pass of the comparison: its result pane's text, which refers to the
// source pane's bytes, and the source's red runs, both made off the window's
// thread. The red runs are gathered straight into a run set: a list of tens
// of millions of words beside it would double their memory.
struct WordPass final : Compare::ResultSink
{
    Compare::ByteSideResult found;
    std::shared_ptr<ResultView> result;
    Compare::RunSet red;

    void line(qsizetype start, qsizetype length, bool crFollows) override
    {
        result->line(start, length, crFollows);
    }
    void word(qsizetype start, qsizetype length) override { result->word(start, length); }
    bool takeRed(Compare::ColourRange range) override
    {
        red.add({&range, 1});
        return true;
    }
};

void runPass(QByteArrayView source, QByteArrayView other, WordPass &pass,
             Compare::Progress &progress)
{
    pass.found = Compare::findWordDifferencesOf(source, other, &progress, &pass);
    if (!progress.cancelled)
        pass.result->finish();
}

// Both passes at once, one on each core. The panes' bytes are read in place:
// the command keeps every pane read-only meanwhile. False when cancelled; the
// unfinished result texts are let go on the worker's thread.
bool compareWords(QWidget *window, QByteArrayView text1, QByteArrayView text2, WordPass &pass1,
                  WordPass &pass2)
{
    Compare::Progress progress;
    return runInBackground(
        window, QStringLiteral("Finding the words that differ..."), progress,
        [&] {
            runBothAtOnce([&] { runPass(text1, text2, pass1, progress); },
                          [&] { runPass(text2, text1, pass2, progress); }, workerPool());
            if (progress.cancelled) {
                pass1.red = pass2.red = Compare::RunSet();
                pass1.result.reset();
                pass2.result.reset();
            }
        },
        Cancel::Offered);
}

void showResult(RichTextBox &source, RichTextBox &result, WordPass &pass)
{
    if (pass.result)
        result.adoptResult(std::move(pass.result), &source);
    // The source was made black: its red runs are the pass's.
    const qsizetype count = pass.red.count();
    if (count > 0) {
        const Compare::ColourRange last = pass.red.at(count - 1);
        source.setRedRuns(std::exchange(pass.red, Compare::RunSet()));
        source.selectBytes(last.start, last.length);
    } else { // nothing red: the whole black text stays selected
        source.selectBytes(0, source.bytes().size());
    }
}

} // namespace

void Form1::PushButton6_Click()
{
    const CommandScope scope(*this);
    if (!scope)
        return;
    const ErrorTrap trap(m_dialogs,
                         QStringLiteral("in Pendrel2021/08/31.Form1.PushButton6_Click "));
    QByteArrayView text1;
    QByteArrayView text2;
    WordPass pass1;
    WordPass pass2;
    bool compared = false;
    trap(100, [] { QCoreApplication::processEvents(); });
    trap(102, [this] { setMousePointer(11); });
    // The whole text goes black. It is left selected only when no word of it
    // turns red (see showResult): otherwise the last red word is selected
    // after it, and selecting a text of millions of lines in between would
    // only cost time.
    trap(104, [this] { colourAllInSlices(*RichTextBox1, kBlack); });
    trap(106, [this] { colourAllInSlices(*RichTextBox2, kBlack); });
    trap(108, [&] {
        text1 = RichTextBox1->bytes();
        text2 = RichTextBox2->bytes();
    });
    trap(110, [this] {
        RichTextBox3->setText(QString());
        RichTextBox4->setText(QString());
    });
    trap(112, [&] {
        pass1.result = std::make_shared<ResultView>(RichTextBox1->bytesHolder(), text1);
        pass2.result = std::make_shared<ResultView>(RichTextBox2->bytesHolder(), text2);
        compared = compareWords(this, text1, text2, pass1, pass2);
    });
    // Cancelled: the result panes stay empty and the files black.
    if (compared) {
        trap(114, [&] { showResult(*RichTextBox1, *RichTextBox3, pass1); });
        trap(116, [&] { showResult(*RichTextBox2, *RichTextBox4, pass2); });
    }
    trap(118, [this] { setMousePointer(0); });
}
