// "Find Differences (Words)".
#include <memory>

#include <QCoreApplication>
#include <QtConcurrent/QtConcurrentRun>

#include "engine/WordComparison.h"
#include "pane/RichTextBox.h"
#include "runner/BackgroundRun.h"
#include "text/ResultView.h"
#include "window/ErrorTrap.h"
#include "window/Form1.h"

namespace {

// One pass of the comparison and its result pane's text, which refers to
// the source pane's bytes, indexed off the window's thread.
struct WordPass
{
    Compare::ByteSideResult found;
    std::shared_ptr<ResultView> result;
};

void runPass(QByteArrayView source, QByteArrayView other, WordPass &pass,
             Compare::Progress &progress)
{
    pass.found = Compare::findWordDifferencesOf(source, other, &progress, pass.result.get());
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
            QFuture<void> second =
                QtConcurrent::run(&workerPool(), [&] { runPass(text2, text1, pass2, progress); });
            try {
                runPass(text1, text2, pass1, progress);
            } catch (...) {
                second.waitForFinished();
                throw;
            }
            second.waitForFinished();
            if (progress.cancelled) {
                pass1 = WordPass();
                pass2 = WordPass();
            }
        },
        Cancel::Offered);
}

void showResult(RichTextBox &source, RichTextBox &result, WordPass &pass)
{
    if (pass.result)
        result.adoptResult(std::move(pass.result));
    // Taking a document of millions of lines is one long step of the editing
    // component's: let the window catch up before colouring starts.
    QCoreApplication::processEvents();
    colourInSlices(source, pass.found.red, kRed);
    if (!pass.found.red.empty())
        source.selectBytes(pass.found.red.back().start, pass.found.red.back().length);
    else // nothing red: the whole black text stays selected
        source.selectBytes(0, source.bytes().size());
    pass.found.red = Compare::ColourRanges(); // coloured: its memory can go
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
