#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>

#include <QtGlobal>

namespace Csv {

// The steps of a row comparison, in the order they run, and the writing of
// its report; last, the step of a comparison bounded in memory that splits
// the rows into parts before it compares them part by part.
enum class WorkPhase { Reading, Indexing, Comparing, Listing, Writing, Partitioning };

// Thrown at a checkpoint once the work is cancelled.
struct WorkCancelled
{};

// How a caller follows and stops long work on tables (reading, comparing):
// cancel() from any thread, and the work ends at its next checkpoint, a few
// milliseconds later; the report function is called with the phase and the
// share of it done (0 to 1), from the work's threads but one call at a time,
// at most once every `interval`.
class WorkControl
{
public:
    using Report = std::function<void(WorkPhase phase, double done)>;
    explicit WorkControl(Report report = {},
                         std::chrono::milliseconds interval = std::chrono::milliseconds(50));

    void cancel() { m_cancelled.store(true, std::memory_order_relaxed); }
    bool cancelled() const { return m_cancelled.load(std::memory_order_relaxed); }
    // For work that checks a flag of its own rather than counting items.
    const std::atomic<bool> *cancelFlag() const { return &m_cancelled; }

    // The work: a phase of `total` items begins (from the thread that runs
    // it, before its parts start).
    void start(WorkPhase phase, qint64 total);
    // `items` more are done; throws WorkCancelled once cancelled.
    void advance(qint64 items);
    // The same, false instead of the throw: for work that unwinds by itself.
    bool proceed(qint64 items);
    // The same, without a check: for a loop's last few.
    void count(qint64 items) noexcept { m_done.fetch_add(items, std::memory_order_relaxed); }

private:
    void report();

    Report m_report;
    std::chrono::steady_clock::duration m_interval;
    std::atomic<bool> m_cancelled{false};
    std::atomic<qint64> m_done{0};
    std::atomic<qint64> m_total{1};
    std::atomic<int> m_phase{0};
    std::atomic<std::chrono::steady_clock::rep> m_nextReport{0};
    std::mutex m_reporting;
};

// Counts the items of one loop and tells `control` (which may be null) every
// few thousand: cheap enough for the innermost loop of a pass over records.
class Checkpoint
{
public:
    // Tells the control once `every` items are counted.
    explicit Checkpoint(WorkControl *control, qint64 every = 4096)
        : m_control(control), m_every(every)
    {
    }
    ~Checkpoint()
    {
        if (m_control)
            m_control->count(m_count);
    }
    Checkpoint(const Checkpoint &) = delete;
    Checkpoint &operator=(const Checkpoint &) = delete;
    // Counts `items`; none (0) only looks for a Cancel, at once.
    void operator()(qint64 items = 1)
    {
        if (items == 0 && m_control) {
            m_control->advance(0);
            return;
        }
        m_count += items;
        if (m_count >= m_every && m_control) {
            m_control->advance(m_count);
            m_count = 0;
        }
    }

private:
    WorkControl *m_control;
    qint64 m_every;
    qint64 m_count = 0;
};

} // namespace Csv
