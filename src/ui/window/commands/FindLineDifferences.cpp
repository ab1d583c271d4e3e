// "Find Differences (Lines)".
#include "window/commands/FindLineDifferences.h"

#include <functional>
#include <memory>
#include <span>

#include <QCoreApplication>

#include "base/BothAtOnce.h"
#include "engine/LineComparison.h"
#include "engine/LinePairComparison.h"
#include "pane/RichTextBox.h"
#include "runner/BackgroundRun.h"
#include "text/ResultView.h"
#include "window/ErrorTrap.h"
#include "window/Form1.h"

namespace RTB {

namespace {

// One direction of the comparison: what it found and its result pane's text,
// which refers to the source pane's bytes, indexed off the window's thread.
struct LinePass
{
    Compare::ByteSideResult found;
    std::shared_ptr<ResultView> result;
};

struct Side
{
    RichTextBox *source;
    RichTextBox *other;
    RichTextBox *result;
    QString location;
};

Side side(Form1 &form, int file)
{
    if (file == 1)
        return {form.RichTextBox1, form.RichTextBox2, form.RichTextBox3,
                QStringLiteral("in Pendrel2021/08/31.RTB.FindDifferencesIn1 ")};
    return {form.RichTextBox2, form.RichTextBox1, form.RichTextBox4,
            QStringLiteral("in Pendrel2021/08/31.RTB.FindDifferencesIn2 ")};
}

// Runs one direction on a worker thread. The panes' own bytes are read in
// place: the command keeps every pane read-only meanwhile.
void runPass(QByteArrayView source, QByteArrayView other, LinePass &pass,
             Compare::Progress &progress)
{
    pass.found = Compare::findLineDifferences(source, other, &progress, Compare::Ranges::Joined,
                                              pass.result.get());
    if (!progress.cancelled)
        pass.result->finish();
}

// Runs first() here and second() on a worker at once.
void runOnBothCores(const std::function<void()> &first, const std::function<void()> &second)
{
    runBothAtOnce(first, second, workerPool());
}

// The two directions of the command, found together on both cores.
struct BothPasses
{
    std::array<LinePass, 2> pass;
    bool done = false;
    bool cancelled = false;
};

// A cancelled run's unfinished result texts are let go on the worker's thread.
void dropIfCancelled(const Compare::Progress &progress, std::span<LinePass> passes)
{
    if (progress.cancelled)
        for (LinePass &pass : passes)
            pass = LinePass();
}

void findDifferences(Form1 &form, int file, BothPasses *both)
{
    const Side s = side(form, file);
    const ErrorTrap trap(form.dialogs(), s.location);
    QByteArrayView sourceBytes;
    QByteArrayView otherBytes;
    LinePass single;
    LinePass *pass = both && both->done ? &both->pass[size_t(file - 1)] : &single;
    trap(100, [&] { sourceBytes = s.source->bytes(); });
    trap(102, [&] { otherBytes = s.other->bytes(); });
    trap(104, [&] { s.result->setText(QString()); });
    trap(106, [&] {
        if (both && both->done)
            return;
        Compare::Progress progress;
        const QString label = QStringLiteral("Finding the lines that differ...");
        if (!both) {
            single.result = std::make_shared<ResultView>(s.source->bytesHolder(), sourceBytes);
            runInBackground(&form, label, progress,
                            [&] { runPass(sourceBytes, otherBytes, single, progress); });
            return;
        }
        const Side t = side(form, 3 - file);
        LinePass &mine = both->pass[size_t(file - 1)];
        LinePass &theirs = both->pass[size_t(2 - file)];
        const QByteArrayView otherSource = t.source->bytes();
        mine.result = std::make_shared<ResultView>(s.source->bytesHolder(), sourceBytes);
        theirs.result = std::make_shared<ResultView>(t.source->bytesHolder(), otherSource);
        both->cancelled = !runInBackground(
            &form, label, progress,
            [&] {
                Compare::LinePairResult found = Compare::findLineDifferencesOfBoth(
                    sourceBytes, otherBytes, runOnBothCores, &progress, Compare::Ranges::Joined,
                    mine.result.get(), theirs.result.get());
                mine.found = std::move(found.in1);
                theirs.found = std::move(found.in2);
                if (!progress.cancelled)
                    runOnBothCores([&] { mine.result->finish(); },
                                   [&] { theirs.result->finish(); });
                dropIfCancelled(progress, both->pass);
            },
            Cancel::Offered);
        both->done = true;
        pass = &mine;
    });
    // Cancelled: the result panes stay empty and the files as they were.
    if (both && both->cancelled)
        return;
    trap(108, [&] {
        if (pass->result)
            s.result->adoptResult(std::move(pass->result), s.source);
        colourInSlices(*s.source, pass->found.red, kRed);
        if (!pass->found.red.empty()) {
            // Only the last differing line is left selected, not its whole run.
            const Compare::ColourRange last =
                Compare::lastPieceOf(s.source->bytes(), pass->found.red.back());
            s.source->selectBytes(last.start, last.length);
        }
        pass->found.red = Compare::ColourRanges(); // coloured: its memory can go
    });
}

} // namespace

void FindDifferencesIn1(Form1 &form)
{
    findDifferences(form, 1, nullptr);
}

void FindDifferencesIn2(Form1 &form)
{
    findDifferences(form, 2, nullptr);
}

} // namespace RTB

void Form1::PushButton1_Click()
{
    const CommandScope scope(*this);
    if (!scope)
        return;
    const ErrorTrap trap(m_dialogs,
                         QStringLiteral("in Pendrel2021/08/31.Form1.PushButton1_Click "));
    RTB::BothPasses both;
    trap(100, [] { QCoreApplication::processEvents(); });
    trap(102, [this] { setMousePointer(11); });
    trap(104, [&] { RTB::findDifferences(*this, 1, &both); });
    trap(106, [&] { RTB::findDifferences(*this, 2, &both); });
    trap(108, [this] { setMousePointer(0); });
}
