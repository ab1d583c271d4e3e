#include "csv/WorkControl.h"

namespace Csv {

WorkControl::WorkControl(Report report, std::chrono::milliseconds interval)
    : m_report(std::move(report)), m_interval(interval)
{
}

void WorkControl::start(WorkPhase phase, qint64 total)
{
    m_phase.store(int(phase), std::memory_order_relaxed);
    m_total.store(std::max<qint64>(total, 1), std::memory_order_relaxed);
    m_done.store(0, std::memory_order_relaxed);
    if (cancelled())
        throw WorkCancelled();
    report();
}

void WorkControl::advance(qint64 items)
{
    if (!proceed(items))
        throw WorkCancelled();
}

bool WorkControl::proceed(qint64 items)
{
    m_done.fetch_add(items, std::memory_order_relaxed);
    if (cancelled())
        return false;
    if (m_report
        && std::chrono::steady_clock::now().time_since_epoch().count()
               >= m_nextReport.load(std::memory_order_relaxed))
        report();
    return true;
}

void WorkControl::report()
{
    if (!m_report)
        return;
    std::unique_lock lock(m_reporting, std::try_to_lock);
    if (!lock.owns_lock())
        return; // another thread is reporting
    const auto now = std::chrono::steady_clock::now();
    m_nextReport.store((now + m_interval).time_since_epoch().count(), std::memory_order_relaxed);
    const double done = double(m_done.load(std::memory_order_relaxed))
                        / double(m_total.load(std::memory_order_relaxed));
    m_report(WorkPhase(m_phase.load(std::memory_order_relaxed)), std::min(done, 1.0));
}

} // namespace Csv
