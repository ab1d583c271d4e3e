// "Find Differences (Words)".
#include <QCoreApplication>
#include <QTextDocument>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>

#include "window/Form1.h"
#include "runner/BackgroundRun.h"
#include "engine/WordComparison.h"
#include "pane/PaneText.h"
#include "pane/RichTextBox.h"
#include "window/ErrorTrap.h"

namespace {

// The comparison and the documents of both result panes, made on worker
// threads: the two documents are laid out side by side.
struct WordRun
{
    Compare::WordComparison found;
    std::unique_ptr<QTextDocument> result1;
    std::unique_ptr<QTextDocument> result2;
};

WordRun compareWords(QWidget *window, const QString &text1, const QString &text2)
{
    WordRun run;
    Compare::Progress progress;
    QThread *windowThread = window->thread();
    runInBackground(window, QStringLiteral("Finding the words that differ..."), progress, [&] {
        run.found = Compare::findWordDifferences(text1, text2, &progress);
        QFuture<void> second = QtConcurrent::run([&] {
            run.result2 = PaneText::buildDocument(run.found.file2.resultText, windowThread);
        });
        run.result1 = PaneText::buildDocument(run.found.file1.resultText, windowThread);
        second.waitForFinished();
    });
    return run;
}

void showResult(RichTextBox &source, RichTextBox &result, std::unique_ptr<QTextDocument> &document,
                const Compare::SideResult &found)
{
    result.adoptDocument(std::move(document));
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
    WordRun run;
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
    trap(112, [&] { run = compareWords(this, text1, text2); });
    trap(114, [&] { showResult(*RichTextBox1, *RichTextBox3, run.result1, run.found.file1); });
    trap(116, [&] { showResult(*RichTextBox2, *RichTextBox4, run.result2, run.found.file2); });
    trap(118, [this] { setMousePointer(0); });
}
