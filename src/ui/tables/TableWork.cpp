#include "tables/TableWork.h"

#include <new>

#include <QCoreApplication>
#include <QTimer>

#include "base/AppError.h"
#include "csv/WorkControl.h"
#include "runner/BackgroundRun.h"

namespace {

// How often a run's Cancel is passed on to the work's control.
constexpr int kCancelCheckMs = 20;

QString tr(const char *text)
{
    return QCoreApplication::translate("TableWork", text);
}

} // namespace

TableWork::TableWork(QWidget &window, std::function<void(const QString &)> showError)
    : m_window(window), m_showError(std::move(showError))
{
}

bool TableWork::run(const QString &label, const std::function<void()> &work)
{
    return guarded([&] {
        Compare::Progress progress;
        return runInBackground(&m_window, label, progress, [this, &work] {
            std::shared_lock lock(m_paneBytes);
            work();
        });
    });
}

bool TableWork::runCancellable(const QString &label,
                               const std::function<void(Csv::WorkControl &)> &work)
{
    // Read by the progress box on the window's thread, written by the work's
    // threads: the phases in turn, each a quarter of the bar; a report's
    // writing is a run of its own and fills the whole bar.
    Compare::Progress progress;
    progress.total = 4000;
    Csv::WorkControl control([&progress](Csv::WorkPhase phase, double done) {
        progress.done = phase == Csv::WorkPhase::Writing ? qint64(done * 4000)
                                                         : qint64((int(phase) + done) * 1000);
    });
    // The progress box's Cancel marks the progress; the work stops when its
    // control hears of it.
    QTimer cancelCheck;
    cancelCheck.setInterval(kCancelCheckMs);
    QObject::connect(&cancelCheck, &QTimer::timeout, [&progress, &control] {
        if (progress.cancelled.load())
            control.cancel();
    });
    cancelCheck.start();
    const bool done = guarded([&] {
        return runInBackground(
            &m_window, label, progress,
            [this, &work, &control] {
                std::shared_lock lock(m_paneBytes);
                work(control);
            },
            Cancel::Offered);
    });
    m_cancelled = m_cancelled || progress.cancelled.load();
    return done && !m_cancelled;
}

bool TableWork::guarded(const std::function<bool()> &run)
{
    m_busy = true;
    m_cancelled = false;
    QString error;
    bool done = false;
    try {
        done = run();
    } catch (const AppError &failure) {
        error = failure.description();
    } catch (const std::bad_alloc &) {
        error = tr("Out of memory: the tables are too large to compare here");
    } catch (const Csv::WorkCancelled &) {
        m_cancelled = true; // a cancel, not a fault
    }
    m_busy = false;
    if (!error.isEmpty())
        m_showError(error);
    return done;
}
