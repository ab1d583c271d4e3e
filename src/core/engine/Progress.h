#pragma once

#include <atomic>

#include <QtGlobal>

namespace Compare {

// Shared between an engine run on a worker thread and the window that shows
// how far it got. The engine only ever adds to `done`. Work that can stop
// early looks at `cancelled`, which the window sets.
struct Progress
{
    std::atomic<qint64> done{0};
    std::atomic<qint64> total{0};
    std::atomic<bool> cancelled{false};

    void add(qint64 steps) { done.fetch_add(steps, std::memory_order_relaxed); }
    int percent() const
    {
        const qint64 t = total.load(std::memory_order_relaxed);
        return t <= 0 ? 0
                      : int(std::min<qint64>(100, done.load(std::memory_order_relaxed) * 100 / t));
    }
};

// One pass's share of a Progress, told in steps: cancelledAt(done) adds what
// the pass did since it last told, and says whether the work was cancelled.
class PassProgress
{
public:
    // `from`: where the pass starts counting, for a pass over part of a text.
    explicit PassProgress(Progress *progress, qint64 from = 0)
        : m_progress(progress), m_reported(from)
    {
    }

    bool cancelledAt(qint64 done)
    {
        if (!m_progress)
            return false;
        m_progress->add(done - m_reported);
        m_reported = done;
        return m_progress->cancelled.load(std::memory_order_relaxed);
    }

private:
    Progress *m_progress;
    qint64 m_reported;
};

} // namespace Compare
