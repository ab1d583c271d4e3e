#include "text/LineIndex.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace LineIndex {
namespace {

// Bytes between two looks at Cancel.
constexpr qint64 kSlice = qint64(4) << 20;

// Whether any of the 8 bytes of `word` is a CR or an LF (it may say so for
// a byte just after one that is; the caller looks at each byte then).
inline bool mayHoldBreak(std::uint64_t word)
{
    constexpr std::uint64_t ones = 0x0101010101010101u;
    constexpr std::uint64_t highs = 0x8080808080808080u;
    const std::uint64_t cr = word ^ (ones * '\r');
    const std::uint64_t lf = word ^ (ones * '\n');
    return (((cr - ones) & ~cr) | ((lf - ones) & ~lf)) & highs;
}

// The starts after the breaks at [from, to); to <= bytes.size(). Most bytes
// are no break: they are passed over 8 at a time.
void scan(Starts &starts, QByteArrayView bytes, qint64 from, qint64 to)
{
    const char *data = bytes.data();
    const qint64 size = bytes.size();
    qint64 i = from;
    while (i < to) {
        if (to - i >= 8) {
            std::uint64_t word;
            std::memcpy(&word, data + i, sizeof word);
            if (!mayHoldBreak(word)) {
                i += 8;
                continue;
            }
        }
        const char c = data[i];
        const qint64 next = ++i;
        if (c != '\n' && c != '\r')
            continue;
        if (next >= size)
            break; // what follows the last break is not known yet
        if (c == '\n' || data[next] != '\n')
            starts.push_back(next);
    }
}

} // namespace

Starts build(QByteArrayView bytes, Compare::Progress *progress)
{
    Starts starts;
    const qint64 size = bytes.size();
    for (qint64 from = 0; from < size; from += kSlice) {
        const qint64 to = std::min(size, from + kSlice);
        scan(starts, bytes, from, to);
        if (progress) {
            progress->add(to - from);
            if (progress->cancelled.load(std::memory_order_relaxed))
                break;
        }
    }
    starts.shrink_to_fit(); // 8 bytes a line, not up to twice that
    return starts;
}

void extend(Starts &starts, QByteArrayView bytes, qint64 from)
{
    // The break just before `from` was undecided while nothing followed it.
    scan(starts, bytes, std::max<qint64>(from - 1, 0), bytes.size());
}

} // namespace LineIndex
