#pragma once

#include <array>
#include <cstddef>

#include "base/BothAtOnce.h"

namespace Tables {

// Below this many rows a second thread costs more than it saves.
constexpr size_t kRowsWorthTwoThreads = size_t(1) << 16;

// `work(begin, end)` over [0, count), in two halves at once when that pays;
// the halves' answers in order (the second one empty when there was one).
template <typename Work>
auto inTwoHalves(size_t count, Work work)
{
    using Answer = decltype(work(size_t(0), count));
    std::array<Answer, 2> halves;
    if (count < kRowsWorthTwoThreads) {
        halves[0] = work(size_t(0), count);
        return halves;
    }
    const size_t middle = count / 2;
    runBothAtOnce([&] { halves[0] = work(size_t(0), middle); },
                  [&] { halves[1] = work(middle, count); });
    return halves;
}

} // namespace Tables
