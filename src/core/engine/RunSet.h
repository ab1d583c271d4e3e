#pragma once

#include <span>
#include <vector>

#include "engine/ColourRange.h"

namespace Compare {

// Disjoint, non-touching runs in ascending order: the marks of one colour in
// a pane, kept as they are laid so that counting them, or finding which one
// holds an offset, never reads the text. Adding ranges joins those that
// touch; removing cuts them. Both are linear in the ranges given when they
// come in ascending order past the runs they change (as a pane is coloured
// from start to end), and linear in the runs otherwise.
class RunSet
{
public:
    // `ranges` must be in ascending order and neither overlap nor touch
    // (as normalised() gives them).
    void add(std::span<const ColourRange> ranges);
    void remove(std::span<const ColourRange> ranges);
    void clear();

    qsizetype count() const { return qsizetype(m_runs.size() - m_head); }
    // The run at `index` (0-based, in ascending order).
    ColourRange at(qsizetype index) const { return m_runs[m_head + size_t(index)]; }
    // The index of the last run that starts at or before `offset`, or -1.
    qsizetype indexAtOrBefore(qsizetype offset) const;
    std::vector<ColourRange> runs() const;

private:
    void addOne(ColourRange range);
    void removeOne(ColourRange range);
    void compact();
    // The first run (as an index into m_runs) that ends after `offset`.
    size_t firstEndingAfter(qsizetype offset) const;

    // Runs before m_head were removed from the front and are dropped in bulk,
    // so clearing a pane from its start costs nothing per run.
    std::vector<ColourRange> m_runs;
    size_t m_head = 0;
};

} // namespace Compare
