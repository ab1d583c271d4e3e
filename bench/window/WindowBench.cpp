// The window's commands on two large files, from the user's action to all
// four panes filled and coloured: loading, "Find Differences (Lines)", F7
// with its count of the marks, Select All, Copy, End and scrolling to the
// right end of the first line, Ctrl+End and Shift+F7 back to the last mark,
// "Save Results #1", "Find Differences (Words)", Words cancelled, a start
// from the command line cancelled, and editing pane #1 (a 100 MB paste
// among it). For each, the longest stall of the window's thread: the
// largest gap between the ticks of a 10 ms timer on it. The peak memory of
// the steps before the editing is given against the files' size. With
// --up-to-marks (after the folder) it stops once the last mark is reached,
// for files too large for the rest.
#include <algorithm>
#include <cstdio>

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>

#include "BenchSupport.h"
#include "WindowWatch.h"
#include "dialogs/Dialogs.h"
#include "pane/RichTextBox.h"
#include "runner/BackgroundRun.h"
#include "settings/SettingsBackend.h"
#include "text/TextBuffer.h"
#include "window/CommandLine.h"
#include "window/Form1.h"

namespace {

void press(QWidget *pane, int key, Qt::KeyboardModifiers modifiers, const QString &text = {})
{
    QKeyEvent event(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(pane, &event);
}

// Editing pane #1 as its file shows: a key typed (and undone), the selection
// grown to the end and back a character, a paste of 100 MB undone, and the
// first questions of a screen reader. The text is as it was afterwards.
void editPane(StallWatch &watch, RichTextBox *pane)
{
    pane->setFocus();
    pane->setSelection(0, 0);
    report("a key typed into pane #1", watch.measure([&] { press(pane, Qt::Key_X, {}, "x"); }));
    report("Ctrl+Z of the key",
           watch.measure([&] { press(pane, Qt::Key_Z, Qt::ControlModifier); }));
    const auto grow =
        watch.measure([&] { press(pane, Qt::Key_End, Qt::ShiftModifier | Qt::ControlModifier); });
    report("Shift+Ctrl+End", grow,
           QStringLiteral("%1 MB selected")
               .arg((pane->selectionEnd() - pane->selectionStart()) / 1000000));
    report("then Shift+Left", watch.measure([&] { press(pane, Qt::Key_Left, Qt::ShiftModifier); }));

    QString pasted(100'000'000 / 50, QChar(u' '));
    pasted.fill(u'p');
    for (qsizetype i = 48; i < pasted.size(); i += 50)
        pasted[i] = u'\n';
    pasted = pasted.repeated(50);
    QGuiApplication::clipboard()->setText(pasted);
    pasted.clear();
    pane->setSelection(0, 0);
    const auto paste = watch.measure([&] { pane->paste(); });
    report("paste 100 MB into pane #1", paste,
           QStringLiteral("now %1 lines").arg(pane->lineCount()));
    const auto undo = watch.measure([&] { pane->undo(); });
    report("undo of the paste", undo, QStringLiteral("now %1 lines").arg(pane->lineCount()));
    QGuiApplication::clipboard()->clear();

    // What a screen reader asks first: the caret, its line, the length.
    QAccessibleInterface *access = QAccessible::queryAccessibleInterface(pane);
    QAccessibleTextInterface *text = access ? access->textInterface() : nullptr;
    if (!text)
        return;
    const auto ask = [&] {
        int start = 0;
        int end = 0;
        const int caret = text->cursorPosition();
        text->textAtOffset(caret, QAccessible::LineBoundary, &start, &end);
        return text->characterCount();
    };
    int count = 0;
    const auto first = watch.measure([&] { count = ask(); });
    report("first accessibility query", first, QStringLiteral("%1 characters").arg(count));
    pane->setSelection(pane->buffer().size(), pane->buffer().size());
    report("a later one, at the end", watch.measure([&] { count = ask(); }));
    pane->setSelection(0, 0);
}

// The peak so far against the files' bytes, and against what the window may
// hold: 1.6 times the files, and 60 MB more for small ones.
void reportPeak(const char *steps, double filesMiB)
{
    const double peak = Bench::peakRssMiB();
    const double allowed = 1.6 * filesMiB + 60e6 / double(1 << 20);
    std::printf("peak through %-18s%8.0f MiB = %.2f x the files' %.0f MiB (allowed %.0f MiB with "
                "60 MB for the window)\n",
                steps, peak, peak / filesMiB, filesMiB, allowed);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QDir data(Bench::dataFolder(argc, argv));
    const QString file1 = data.filePath(QStringLiteral("file1.csv"));
    const QString file2 = data.filePath(QStringLiteral("file2.csv"));

    SilentDialogs dialogs;
    Platform::MemorySettingsBackend settings;
    Form1 form(dialogs, settings, ProgramFolder(QCoreApplication::applicationDirPath()));
    form.Form_Load();
    form.show();
    QApplication::processEvents();
    StallWatch watch;

    const auto load1 = watch.measure([&] { form.loadDroppedFiles(1, {file1}); });
    const auto load2 = watch.measure([&] { form.loadDroppedFiles(2, {file2}); });
    std::printf("files: %lld and %lld lines\n", qlonglong(form.RichTextBox1->lineCount()),
                qlonglong(form.RichTextBox2->lineCount()));
    report("load file #1 and show it", load1);
    report("load file #2 and show it", load2);

    const auto lines = watch.measure([&] { form.PushButton1_Click(); });
    report("Find Differences (Lines)", lines,
           QStringLiteral("results: %1 + %2 lines")
               .arg(form.RichTextBox3->lineCount() - 1)
               .arg(form.RichTextBox4->lineCount() - 1));
    const auto next = watch.measure([&] { form.moveToRedMark(true, form.RichTextBox1); });
    const qint64 mark = form.RichTextBox1->selectionStart();
    report("F7 with its count", next,
           QStringLiteral("on line %1, %2")
               .arg(form.RichTextBox1->buffer().lineOf(mark) + 1)
               .arg(form.RichTextBox1->colourOfByte(mark) == kRed ? QStringLiteral("red")
                                                                  : QStringLiteral("NOT red")));
    const auto all = watch.measure([&] { form.RichTextBox1->selectAll(); });
    report("Select All in pane #1", all);
    const auto copy = watch.measure([&] {
        form.RichTextBox1->selectAll();
        form.RichTextBox1->copy();
    });
    report("Select All then Copy", copy);
    RichTextBox *pane = form.RichTextBox1;
    const auto end = watch.measure([&] {
        pane->setFocus();
        pane->setSelection(0, 0);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_End, Qt::NoModifier);
        QApplication::sendEvent(pane, &press);
    });
    report(
        "End on line 1 of pane #1", end,
        QStringLiteral("caret at byte %1, x %2").arg(pane->caretPosition()).arg(pane->xOffset()));
    // The file's end, painted as the pane shows it.
    const auto last = watch.measure([&] {
        press(pane, Qt::Key_End, Qt::ControlModifier);
        pane->grab();
    });
    const TextBuffer &text = pane->buffer();
    const auto firstShown = pane->firstVisibleLine();
    report("Ctrl+End: the last line shown", last,
           QStringLiteral("caret on line %1 of %2; lines %3 to %4 in view")
               .arg(text.lineOf(pane->caretPosition()) + 1)
               .arg(text.lineCount())
               .arg(firstShown + 1)
               .arg(firstShown + pane->linesOnScreen()));
    const auto back = watch.measure([&] { form.moveToRedMark(false, pane); });
    const qint64 lastMark = pane->selectionStart();
    report("Shift+F7 back from the end", back,
           QStringLiteral("on line %1 (byte %2), %3")
               .arg(text.lineOf(lastMark) + 1)
               .arg(lastMark)
               .arg(pane->colourOfByte(lastMark) == kRed ? QStringLiteral("red")
                                                         : QStringLiteral("NOT red")));
    if (QCoreApplication::arguments().contains(QStringLiteral("--up-to-marks")))
        return 0; // a file too large for the rest
    press(pane, Qt::Key_Home, Qt::ControlModifier);
    QScrollBar *across = pane->horizontalScrollBar();
    const auto scroll = watch.measure([&] {
        across->setValue(0);
        for (int step = 1; step <= 20; ++step) {
            across->setValue(int(qint64(across->maximum()) * step / 20));
            QApplication::processEvents();
        }
    });
    report("scroll pane #1 to its right end", scroll,
           QStringLiteral("in 20 steps to x %1").arg(across->value()));
    QElapsedTimer measuring;
    measuring.start();
    for (RichTextBox *shown : {form.RichTextBox1, form.RichTextBox2})
        shown->waitForWidths();
    std::printf("long lines of panes #1, #2 measured %lld ms later (in the background)\n",
                measuring.elapsed());
    const double filesMiB =
        double(QFileInfo(file1).size() + QFileInfo(file2).size()) / double(1 << 20);
    reportPeak("loads, Lines", filesMiB);

    // Saved beside the data, then removed.
    const QTemporaryDir saveFolder(data.filePath(QStringLiteral("save-XXXXXX")));
    dialogs.fileName = QDir(saveFolder.path()).filePath(QStringLiteral("results1.txt"));
    const auto save = watch.measure([&] { form.PushButton2_Click(); });
    report("Save Results #1", save,
           QStringLiteral("%1 MB written").arg(QFileInfo(dialogs.fileName).size() / 1000000));
    dialogs.fileName.clear();

    const auto words = watch.measure([&] { form.PushButton6_Click(); });
    report("Find Differences (Words)", words,
           QStringLiteral("results: %1 + %2 words")
               .arg(form.RichTextBox3->lineCount() - 1)
               .arg(form.RichTextBox4->lineCount() - 1));
    reportPeak("Save, Words", filesMiB);
    // Words again, cancelled as soon as its progress box shows: how soon the
    // window is free again. Progress boxes show at once from here on: a run
    // quicker than the usual delay would otherwise show none to cancel, and
    // the step would time a whole run instead.
    form.setProperty(kProgressDelayProperty, 0);
    {
        CancelFirstProgress cancelWords;
        const auto cancelled = watch.measure([&] { form.PushButton6_Click(); });
        report("Words, cancelled", cancelled,
               cancelWords.pressed ? QStringLiteral("cancelled: ") + cancelWords.label
                                   : QStringLiteral("no progress box showed"));
    }
    // A start from the command line, cancelled while file #1 loads: nothing
    // more may load or run.
    WindowArguments arguments;
    arguments.files = QStringList{file1, file2};
    arguments.compare = WindowArguments::Compare::Lines;
    CancelFirstProgress cancel;
    const auto start = watch.measure([&] { openFromCommandLine(form, arguments); });
    report("start cancelled while loading", start,
           cancel.pressed ? QStringLiteral("cancelled: ") + cancel.label
                          : QStringLiteral("no progress box showed"));
    reportPeak("all but editing", filesMiB);
    // Last: the 100 MB paste and what its undo keeps would count in every
    // peak after it.
    editPane(watch, pane);
    std::printf("peak memory                  %8.0f MiB (the whole run, with the paste)\n",
                Bench::peakRssMiB());
    return 0;
}
