#include "runner/BackgroundRun.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QProgressDialog>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include "base/BackgroundThreads.h"
#include "pane/RichTextBox.h"

namespace {

constexpr int kShowAfterMs = 500;
constexpr int kTickMs = 100;
// The longest the window's thread colours without looking at its events.
constexpr qint64 kSliceMs = 40;
// The text one call colours: the pane restyles a slice of this size at once.
constexpr qsizetype kTextPerCall = qsizetype(1) << 20;

// How long a run goes before its progress box shows.
int showAfterMs(const QWidget *window)
{
    const QVariant delay = window ? window->property(kProgressDelayProperty) : QVariant();
    return delay.isValid() ? delay.toInt() : kShowAfterMs;
}

} // namespace

QThreadPool &workerPool()
{
    static QThreadPool pool;
    // One run and the second half it may start, on every core.
    static const bool sized = [] {
        pool.setMaxThreadCount(std::max(4, QThread::idealThreadCount() + 2));
        return true;
    }();
    Q_UNUSED(sized);
    return pool;
}

void prepareForBackgroundWork()
{
    lowerBackgroundThreads();
    // Qt's raster engine hands the spans of a large fill (a progress bar's
    // lines) to its global pool and waits for them. A pool thread started
    // inside such a paint (the first, or one that expired after 30 s idle)
    // waits for the process's memory map to make its stack, while the
    // workers fault in hundreds of megabytes: the window stood still for up
    // to 370 ms. So they are all started now, before any work, and kept.
    static const bool started = [] {
        QThreadPool &pool = *QThreadPool::globalInstance();
        pool.setExpiryTimeout(-1);
        // Each waits until all have started, so that none is reused; the
        // last to come lets them all go. (Not std::latch: where the standard
        // library has no futex, as MinGW's, its wait could miss the last
        // arrival, and the threads waited for ever.)
        struct StartLine
        {
            std::atomic<int> arrived{0};
            QSemaphore go;
        };
        const int threads = pool.maxThreadCount();
        const auto line = std::make_shared<StartLine>();
        for (int i = 0; i < threads; ++i) {
            pool.start([line, threads] {
                if (++line->arrived == threads)
                    line->go.release(threads);
                line->go.acquire();
            });
        }
        return true;
    }();
    Q_UNUSED(started);
}

bool runInBackground(QWidget *window, const QString &label, Compare::Progress &progress,
                     const std::function<void()> &work, Cancel cancel)
{
    QElapsedTimer clock;
    clock.start();
    const int showAfter = showAfterMs(window);
    std::unique_ptr<QProgressDialog> dialog;
    const auto showDialog = [&] {
        const QString button = cancel == Cancel::Offered ? QStringLiteral("Cancel") : QString();
        dialog = std::make_unique<QProgressDialog>(label, button, 0, 100, window);
        dialog->setWindowModality(Qt::WindowModal);
        dialog->setMinimumDuration(0);
        dialog->setAutoClose(false);
        dialog->setAutoReset(false);
        QObject::connect(dialog.get(), &QProgressDialog::canceled,
                         [&progress] { progress.cancelled = true; });
        dialog->show();
    };
    QTimer tick;
    tick.setInterval(kTickMs);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        // Cancel hides the box, and a new value would show it again while
        // the work winds down.
        if (progress.cancelled.load())
            return;
        if (!dialog && clock.elapsed() >= showAfter)
            showDialog();
        if (dialog && progress.total.load() == 0)
            dialog->setRange(0, 0); // nothing to count: a busy bar
        else if (dialog)
            dialog->setValue(progress.percent());
    });
    // A dialog that shows at once shows before the work starts.
    if (showAfter <= 0)
        showDialog();

    std::exception_ptr failure;
    QFutureWatcher<void> watcher;
    QEventLoop loop;
    QObject::connect(&watcher, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(QtConcurrent::run(&workerPool(), [&work, &failure] {
        asBackgroundThread();
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
    }));
    tick.start();
    if (!watcher.isFinished())
        loop.exec();
    // Quitting the application ends every event loop early; the work must
    // still finish before its data goes away.
    watcher.waitForFinished();
    tick.stop();
    if (dialog) {
        // The window repaints where the box was before the caller's next
        // long step (taking a result of millions of lines, say).
        dialog.reset();
        QCoreApplication::processEvents();
    }
    if (failure)
        std::rethrow_exception(failure);
    return !progress.cancelled.load();
}

void colourInSlices(RichTextBox &pane, std::span<const Compare::ColourRange> ranges, Colour colour)
{
    QElapsedTimer clock;
    clock.start();
    qsizetype into = 0; // how much of the first range is coloured already
    while (!ranges.empty()) {
        const Compare::ColourRange &first = ranges.front();
        if (first.length - into > kTextPerCall) {
            // A long run (a whole file of differing lines) goes a piece at a
            // time, like many short ones.
            const Compare::ColourRange piece{first.start + into, kTextPerCall};
            pane.colourByteRanges(std::span(&piece, 1), colour);
            into += kTextPerCall;
        } else if (into > 0) {
            const Compare::ColourRange rest{first.start + into, first.length - into};
            pane.colourByteRanges(std::span(&rest, 1), colour);
            ranges = ranges.subspan(1);
            into = 0;
        } else {
            // The ranges that end within the same stretch of text as the first.
            const qsizetype stretchEnd = first.start + kTextPerCall;
            size_t count = 1;
            while (count < ranges.size()
                   && ranges[count].start + ranges[count].length <= stretchEnd)
                ++count;
            pane.colourByteRanges(ranges.first(count), colour);
            ranges = ranges.subspan(count);
        }
        if (!ranges.empty() && clock.elapsed() >= kSliceMs) {
            QCoreApplication::processEvents();
            clock.restart();
        }
    }
}

void colourAllInSlices(RichTextBox &pane, Colour colour)
{
    const qsizetype length = pane.bytes().size();
    Compare::ColourRanges pieces;
    for (qsizetype at = 0; at < length; at += kTextPerCall)
        pieces.push_back({at, std::min(kTextPerCall, length - at)});
    colourInSlices(pane, pieces, colour);
}
