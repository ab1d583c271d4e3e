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

} // namespace Compare
