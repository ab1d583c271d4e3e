#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/ColourRange.h"

namespace Compare {

// Disjoint, non-touching runs in ascending order: the marks of one colour in
// a pane, kept as they are laid so that counting them, or finding which one
// holds an offset, never reads the text. Adding ranges joins those that
// touch; removing cuts them.
//
// The runs are packed in blocks of a few dozen: each block knows where its
// first run starts and its last ends, and holds each run as the gap after
// the run before it and its length, in as few bytes as they need (two or
// three for a word), not 16. Ranges that come in ascending order after the
// runs (as a pane is coloured from start to end) cost a constant each;
// others cost the blocks they touch plus, once a call, one step per block
// after them. Reading a run costs a logarithm and a block.
class RunSet
{
public:
    static constexpr int kBlockRuns = 64;

    // `blockRuns`: the most runs a block holds (tests use a few).
    explicit RunSet(int blockRuns = kBlockRuns) : m_blockRuns(std::max(blockRuns, 1)) {}

    void add(std::span<const ColourRange> ranges);
    void remove(std::span<const ColourRange> ranges);
    void clear();
    // Follows an edit of the text: [at, at + removed) is replaced by
    // `inserted` uncoloured units. Runs in the removed part are cut, a run
    // across `at` is split around the new units, later runs move, and runs
    // that come to touch are joined. Costs the blocks after `at`.
    void followEdit(qsizetype at, qsizetype removed, qsizetype inserted);

    qsizetype count() const { return m_count; }
    // The run at `index` (0-based, in ascending order).
    ColourRange at(qsizetype index) const;
    // The index of the last run that starts at or before `offset`, or -1.
    qsizetype indexAtOrBefore(qsizetype offset) const;
    std::vector<ColourRange> runs() const;

private:
    struct Block
    {
        qsizetype start = 0; // of its first run
        qsizetype end = 0;   // of its last run
        int count = 0;
        std::vector<std::uint8_t> bytes;
    };
    using Runs = std::vector<ColourRange>;

    void addOne(ColourRange range);
    void removeOne(ColourRange range);
    // Appends a run that starts after the end of the last one, apart from it.
    void append(ColourRange range);
    Runs decode(size_t first, size_t last) const;
    // Puts `runs` in place of blocks [first, last).
    void replace(size_t first, size_t last, const Runs &runs);
    // Counts the runs before each block again, from the first block changed.
    void recount();
    // The first block whose last run ends after `offset`.
    size_t firstEndingAfter(qsizetype offset) const;
    // The blocks whose first run starts at or before `offset`.
    size_t startingUpTo(qsizetype offset) const;

    // The blocks before m_head are empty and no longer count: runs removed
    // from the front (as a pane is blackened a slice at a time) do not move
    // all the blocks after them every time.
    std::vector<Block> m_blocks;
    size_t m_head = 0;
    std::vector<qsizetype> m_before; // runs before each block, from m_head on
    size_t m_changed = 0;            // m_before is right before this block
    qsizetype m_count = 0;
    int m_blockRuns;
};

} // namespace Compare
