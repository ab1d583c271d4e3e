#include "engine/RunSet.h"

#include <algorithm>

namespace Compare {

namespace {

using Runs = std::vector<ColourRange>;

qsizetype endOf(const ColourRange &r)
{
    return r.start + r.length;
}

// Numbers of 7 bits a byte, the high bit set on all but the last.
void putNumber(std::vector<std::uint8_t> &out, quint64 value)
{
    while (value >= 0x80) {
        out.push_back(std::uint8_t(value | 0x80));
        value >>= 7;
    }
    out.push_back(std::uint8_t(value));
}

quint64 takeNumber(const std::uint8_t *&p)
{
    quint64 value = 0;
    for (int shift = 0;; shift += 7) {
        const std::uint8_t byte = *p++;
        value |= quint64(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0)
            return value;
    }
}

// Reads a block's runs in order: each is the gap after the end of the one
// before (the first: after the block's start, so 0) and its length.
class BlockReader
{
public:
    BlockReader(qsizetype start, const std::vector<std::uint8_t> &bytes)
        : m_end(start), m_p(bytes.data())
    {
    }

    ColourRange next()
    {
        const qsizetype start = m_end + qsizetype(takeNumber(m_p));
        const qsizetype length = qsizetype(takeNumber(m_p));
        m_end = start + length;
        return {start, length};
    }

private:
    qsizetype m_end;
    const std::uint8_t *m_p;
};

// The steps below work on the runs of a few blocks, as plain ranges.

Runs::iterator firstEndingAfter(Runs &runs, qsizetype offset)
{
    return std::partition_point(runs.begin(), runs.end(),
                                [offset](const ColourRange &r) { return endOf(r) <= offset; });
}

void addTo(Runs &runs, ColourRange range)
{
    if (runs.empty() || range.start > endOf(runs.back())) {
        runs.push_back(range);
        return;
    }
    // The runs from `first` to `last` (exclusive) overlap or touch the range.
    const auto first = firstEndingAfter(runs, range.start - 1);
    auto last = first;
    qsizetype start = range.start;
    qsizetype end = endOf(range);
    while (last != runs.end() && last->start <= end) {
        start = std::min(start, last->start);
        end = std::max(end, endOf(*last));
        ++last;
    }
    const ColourRange joined{start, end - start};
    if (first == last) {
        runs.insert(first, joined);
        return;
    }
    *first = joined;
    runs.erase(first + 1, last);
}

void removeFrom(Runs &runs, ColourRange range)
{
    const qsizetype end = endOf(range);
    const auto first = firstEndingAfter(runs, range.start);
    auto last = first;
    while (last != runs.end() && last->start < end)
        ++last;
    if (first == last)
        return;
    // What is left of the first and last runs outside the range.
    const ColourRange before{first->start, range.start - first->start};
    const ColourRange after{end, endOf(*(last - 1)) - end};
    if (before.length > 0 && after.length > 0 && last - first == 1) {
        *first = before;
        runs.insert(first + 1, after);
        return;
    }
    auto keep = first;
    if (before.length > 0)
        *keep++ = before;
    if (after.length > 0)
        *keep++ = after;
    runs.erase(keep, last);
}

// followEdit() on all the runs that can change but by a move: those of the
// block of the first run ending after `at` and of its neighbours.
void moveAfter(Runs &runs, qsizetype at, qsizetype delta, bool inserted)
{
    auto it = firstEndingAfter(runs, at);
    if (it == runs.end())
        return;
    if (it->start < at && inserted) {
        // The run goes on after the new units.
        const ColourRange tail{at, endOf(*it) - at};
        it->length = at - it->start;
        it = runs.insert(it + 1, tail);
    } else if (it->start < at) {
        ++it; // nothing is inserted: the run stays as it is
    }
    for (auto moved = it; moved != runs.end(); ++moved)
        moved->start += delta;
    if (it != runs.begin() && it != runs.end() && endOf(*(it - 1)) == it->start) {
        (it - 1)->length += it->length;
        runs.erase(it);
    }
}

} // namespace

void RunSet::clear()
{
    m_blocks.clear();
    m_before.clear();
    m_head = 0;
    m_changed = 0;
    m_count = 0;
}

size_t RunSet::firstEndingAfter(qsizetype offset) const
{
    const auto live = m_blocks.begin() + qsizetype(m_head);
    return size_t(std::partition_point(live, m_blocks.end(),
                                       [offset](const Block &b) { return b.end <= offset; })
                  - m_blocks.begin());
}

size_t RunSet::startingUpTo(qsizetype offset) const
{
    const auto live = m_blocks.begin() + qsizetype(m_head);
    return size_t(std::partition_point(live, m_blocks.end(),
                                       [offset](const Block &b) { return b.start <= offset; })
                  - m_blocks.begin());
}

RunSet::Runs RunSet::decode(size_t first, size_t last) const
{
    Runs runs;
    for (size_t b = first; b < last; ++b) {
        BlockReader reader(m_blocks[b].start, m_blocks[b].bytes);
        for (int i = 0; i < m_blocks[b].count; ++i)
            runs.push_back(reader.next());
    }
    return runs;
}

std::vector<ColourRange> RunSet::runs() const
{
    return decode(m_head, m_blocks.size());
}

// m_before holds, from m_head on, the runs before each block plus any one
// number (that of m_head's): runs removed from the front change no later
// block's entry.
void RunSet::recount()
{
    // Once most blocks are dead, the live ones move to the front.
    if (m_head > 0 && m_head * 2 >= m_blocks.size()) {
        m_blocks.erase(m_blocks.begin(), m_blocks.begin() + qsizetype(m_head));
        m_head = 0;
        m_changed = 0;
    }
    m_before.resize(m_blocks.size());
    for (size_t b = std::max(m_changed, m_head); b < m_blocks.size(); ++b)
        m_before[b] = b == m_head ? 0 : m_before[b - 1] + m_blocks[b - 1].count;
    m_changed = m_blocks.size();
}

void RunSet::append(ColourRange range)
{
    if (m_blocks.empty() || m_blocks.back().count >= m_blockRuns) {
        if (!m_blocks.empty())
            m_blocks.back().bytes.shrink_to_fit(); // full: it holds what it needs
        m_blocks.push_back({range.start, range.start, 0, {}});
        m_blocks.back().bytes.reserve(size_t(m_blockRuns) * 3); // a word's gap and length
        // The count before it is known at once while the others are right.
        if (m_changed + 1 == m_blocks.size()) {
            const qsizetype base = m_head + 1 < m_blocks.size() ? m_before[m_head] : 0;
            m_before.resize(m_blocks.size());
            m_before.back() = base + m_count;
            m_changed = m_blocks.size();
        }
    }
    Block &last = m_blocks.back();
    putNumber(last.bytes, quint64(range.start - last.end));
    putNumber(last.bytes, quint64(range.length));
    last.end = endOf(range);
    ++last.count;
    ++m_count;
}

void RunSet::replace(size_t first, size_t last, const Runs &runs)
{
    std::vector<Block> blocks;
    for (size_t i = 0; i < runs.size(); i += size_t(m_blockRuns)) {
        Block block{runs[i].start, runs[i].start, 0, {}};
        for (size_t k = i; k < std::min(runs.size(), i + size_t(m_blockRuns)); ++k) {
            putNumber(block.bytes, quint64(runs[k].start - block.end));
            putNumber(block.bytes, quint64(runs[k].length));
            block.end = endOf(runs[k]);
            ++block.count;
        }
        block.bytes.shrink_to_fit();
        blocks.push_back(std::move(block));
    }
    qsizetype removed = 0;
    for (size_t b = first; b < last; ++b)
        removed += m_blocks[b].count;
    m_count += qsizetype(runs.size()) - removed;
    const size_t old = last - first;
    const size_t kept = std::min(blocks.size(), old);
    if (blocks.size() <= old && first == m_head) {
        // At the front: the new blocks end where the old ones did, and those
        // before them die. The counts are differences from the first live
        // block's, so those of the later blocks stay right.
        std::move(blocks.begin(), blocks.end(), m_blocks.begin() + qsizetype(last - kept));
        for (size_t b = first; b < last - kept; ++b)
            m_blocks[b] = Block();
        m_head = last - kept;
        if (m_changed < m_blocks.size()) {
            m_changed = std::min(m_changed, m_head);
            return;
        }
        qsizetype before = last < m_blocks.size() ? m_before[last] : 0;
        for (size_t b = last; b-- > m_head;) {
            before -= m_blocks[b].count;
            m_before[b] = before;
        }
        return;
    }
    m_changed = std::min(m_changed, first);
    std::move(blocks.begin(), blocks.begin() + qsizetype(kept),
              m_blocks.begin() + qsizetype(first));
    if (kept < old)
        m_blocks.erase(m_blocks.begin() + qsizetype(first + kept),
                       m_blocks.begin() + qsizetype(last));
    else
        m_blocks.insert(m_blocks.begin() + qsizetype(last),
                        std::make_move_iterator(blocks.begin() + qsizetype(kept)),
                        std::make_move_iterator(blocks.end()));
}

void RunSet::add(std::span<const ColourRange> ranges)
{
    for (const ColourRange &r : ranges)
        if (r.length > 0)
            addOne(r);
    recount();
}

void RunSet::addOne(ColourRange range)
{
    if (m_head == m_blocks.size())
        clear(); // every block is dead
    // Past the last run: appended as it comes.
    if (m_blocks.empty() || range.start > m_blocks.back().end) {
        append(range);
        return;
    }
    // The blocks with runs that overlap or touch the range; when it falls
    // between two blocks, the later one takes it.
    const size_t first = firstEndingAfter(range.start - 1);
    const size_t last = std::max(startingUpTo(endOf(range)), first + 1);
    Runs runs = decode(first, last);
    addTo(runs, range);
    replace(first, last, runs);
}

void RunSet::remove(std::span<const ColourRange> ranges)
{
    for (const ColourRange &r : ranges)
        if (r.length > 0)
            removeOne(r);
    recount();
}

void RunSet::removeOne(ColourRange range)
{
    const size_t first = firstEndingAfter(range.start);
    const size_t last = startingUpTo(endOf(range) - 1);
    if (first >= last)
        return;
    // The blocks between the first and the last lie wholly in the range.
    Runs runs = decode(first, first + 1);
    if (last - first > 1) {
        const Runs lastRuns = decode(last - 1, last);
        runs.insert(runs.end(), lastRuns.begin(), lastRuns.end());
    }
    removeFrom(runs, range);
    replace(first, last, runs);
}

void RunSet::followEdit(qsizetype at, qsizetype removed, qsizetype inserted)
{
    if (removed > 0)
        removeOne({at, removed});
    const size_t block = firstEndingAfter(at);
    if (block == m_blocks.size()) {
        recount();
        return;
    }
    // The runs after the block's next one only move; the block's own and its
    // neighbours' may also be split or joined.
    const qsizetype delta = inserted - removed;
    const size_t first = block == m_head ? block : block - 1;
    const size_t last = std::min(block + 2, m_blocks.size());
    for (size_t b = last; b < m_blocks.size(); ++b) {
        m_blocks[b].start += delta;
        m_blocks[b].end += delta;
    }
    Runs runs = decode(first, last);
    moveAfter(runs, at, delta, inserted > 0);
    replace(first, last, runs);
    recount();
}

ColourRange RunSet::at(qsizetype index) const
{
    const auto live = m_before.begin() + qsizetype(m_head);
    const qsizetype base = *live;
    index += base;
    const size_t b = size_t(std::upper_bound(live, m_before.end(), index) - m_before.begin()) - 1;
    BlockReader reader(m_blocks[b].start, m_blocks[b].bytes);
    ColourRange run = reader.next();
    for (qsizetype i = m_before[b]; i < index; ++i)
        run = reader.next();
    return run;
}

qsizetype RunSet::indexAtOrBefore(qsizetype offset) const
{
    const size_t blocks = startingUpTo(offset);
    if (blocks == m_head)
        return -1;
    const Block &block = m_blocks[blocks - 1];
    BlockReader reader(block.start, block.bytes);
    qsizetype index = m_before[blocks - 1] - m_before[m_head];
    reader.next(); // the block's first run starts at or before the offset
    for (int i = 1; i < block.count && reader.next().start <= offset; ++i)
        ++index;
    return index;
}

} // namespace Compare
