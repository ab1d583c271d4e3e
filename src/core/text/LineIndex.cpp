#include "text/LineIndex.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "base/BothAtOnce.h"
#include "csv/LargeArrays.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace LineIndex {
namespace {

// Bytes between two looks at Cancel.
constexpr qint64 kSlice = qint64(4) << 20;
// A text at least this large is indexed in two halves at once, one on each
// core: below it, starting a thread costs more than it saves.
constexpr qint64 kHalvesFrom = qint64(16) << 20;
// Starts an index has room for beyond those it holds.
constexpr size_t kRoom = 64;

#if defined(__SSE2__)
// Bit k set where a line starts after the byte at p + k: an LF, or a CR that
// no LF follows. Reads the 17 bytes from `p`.
inline unsigned startsAfter(const char *p)
{
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 1));
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r'));
    const __m128i loneCr = _mm_andnot_si128(_mm_cmpeq_epi8(next, lf), cr);
    return unsigned(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, lf), loneCr)));
}
constexpr qint64 kBlock = 16;
#else
inline unsigned startsAfter(const char *)
{
    return 0;
}
constexpr qint64 kBlock = 0; // every byte is looked at alone
#endif

// Calls put(start) for the starts after the breaks at [from, to), in order;
// to <= bytes.size(). Most bytes are no break: they are passed over 16 at a
// time where the processor compares that many at once. The last byte of the
// text starts nothing, since what follows it is not known yet.
template <typename Put>
void scan(QByteArrayView bytes, qint64 from, qint64 to, Put put)
{
    const char *data = bytes.data();
    const qint64 size = bytes.size();
    qint64 i = from;
    if (kBlock > 0) {
        // Each block reads one byte past its end, which the text holds.
        for (; i + kBlock < size && i + kBlock <= to; i += kBlock) {
            for (unsigned found = startsAfter(data + i); found != 0; found &= found - 1)
                put(i + std::countr_zero(found) + 1);
        }
    }
    for (; i < to && i + 1 < size; ++i) {
        const char c = data[i];
        if (c == '\n' || (c == '\r' && data[i + 1] != '\n'))
            put(i + 1);
    }
}

// Calls each(from, to) for the slices of [from, to), looking at Cancel
// after each; false once the progress is cancelled.
template <typename Each>
bool inSlices(qint64 from, qint64 to, Compare::Progress *progress, Each each)
{
    for (qint64 at = from; at < to; at += kSlice) {
        const qint64 end = std::min(to, at + kSlice);
        each(at, end);
        if (progress && progress->cancelled.load(std::memory_order_relaxed))
            return false;
    }
    return true;
}

qint64 countStarts(QByteArrayView bytes, qint64 from, qint64 to, Compare::Progress *progress)
{
    qint64 count = 0;
    inSlices(from, to, progress,
             [&](qint64 at, qint64 end) { scan(bytes, at, end, [&count](qint64) { ++count; }); });
    return count;
}

// Writes the starts of [from, to) from `out` on: as many as countStarts() gave.
void fillStarts(QByteArrayView bytes, qint64 from, qint64 to, qint64 *out,
                Compare::Progress *progress)
{
    inSlices(from, to, progress, [&](qint64 at, qint64 end) {
        scan(bytes, at, end, [&out](qint64 start) { *out++ = start; });
        if (progress)
            progress->add(end - at);
    });
}

} // namespace

Starts::Starts(const std::vector<qint64> &ascending)
{
    // Room for the few starts a text that grows at its end (the break a load
    // adds) gives without a move of the whole index.
    Csv::reserveLarge(m_low, ascending.size() + kRoom);
    m_blocks.reserve((ascending.size() >> kBlockBits) + 1);
    for (const qint64 start : ascending)
        push_back(start);
}

qint64 Starts::upperBound(qint64 position, qint64 from) const
{
    qint64 low = from;
    qint64 high = m_size;
    while (low < high) {
        const qint64 middle = low + (high - low) / 2;
        if ((*this)[middle] <= position)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

void Starts::push_back(qint64 start)
{
    const qint64 i = m_size;
    if ((i & kBlockMask) == 0)
        m_blocks.push_back({start, -1});
    Block &block = m_blocks.back();
    const qint64 offset = start - block.base;
    if (block.wide < 0 && offset > qint64(UINT32_MAX)) {
        // The block outgrows 4-byte offsets: it keeps its starts whole.
        block.wide = qint64(m_wide.size());
        m_wide.resize(m_wide.size() + size_t(kBlockMask + 1));
        for (qint64 k = i & ~kBlockMask; k < i; ++k)
            m_wide[size_t(block.wide + (k & kBlockMask))] = block.base + m_low[size_t(k)];
    }
    if (block.wide >= 0)
        m_wide[size_t(block.wide + (i & kBlockMask))] = start;
    m_low.push_back(block.wide >= 0 ? 0 : quint32(offset));
    ++m_size;
}

void Starts::clear()
{
    *this = Starts();
}

bool Starts::operator==(const Starts &other) const
{
    if (m_size != other.m_size)
        return false;
    for (qint64 i = 0; i < m_size; ++i) {
        if ((*this)[i] != other[i])
            return false;
    }
    return true;
}

Starts build(QByteArrayView bytes, Compare::Progress *progress)
{
    const qint64 size = bytes.size();
    // A break's start depends only on the byte after it, so two halves need
    // nothing of each other. The starts are counted first and then written
    // into an index of the size they need: growing it a doubling at a time
    // would move it again and again and claim up to twice its memory.
    const qint64 middle = size < kHalvesFrom ? size : size / 2;
    const auto inHalves = [&](auto work) {
        if (middle < size)
            runBothAtOnce([&] { work(0, middle, 0); }, [&] { work(middle, size, 1); });
        else
            work(0, middle, 0);
    };
    std::array<qint64, 2> counts{0, 0};
    inHalves([&](qint64 from, qint64 to, int half) {
        counts[size_t(half)] = countStarts(bytes, from, to, progress);
    });
    if (progress && progress->cancelled.load(std::memory_order_relaxed))
        return {};
    // Written whole by both halves at once, then packed: the whole offsets
    // live only while a load runs.
    std::vector<qint64> all;
    Csv::reserveLarge(all, size_t(counts[0] + counts[1]));
    all.resize(size_t(counts[0] + counts[1]));
    inHalves([&](qint64 from, qint64 to, int half) {
        fillStarts(bytes, from, to, all.data() + (half == 0 ? 0 : counts[0]), progress);
    });
    if (progress && progress->cancelled.load(std::memory_order_relaxed))
        return {}; // partly written
    return Starts(all);
}

qint64 count(QByteArrayView bytes)
{
    qint64 found = 0;
    scan(bytes, 0, bytes.size(), [&found](qint64) { ++found; });
    return found;
}

void extend(Starts &starts, QByteArrayView bytes, qint64 from)
{
    // The break just before `from` was undecided while nothing followed it.
    scan(bytes, std::max<qint64>(from - 1, 0), bytes.size(),
         [&starts](qint64 start) { starts.push_back(start); });
}

} // namespace LineIndex
