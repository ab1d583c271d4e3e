#pragma once

#include <deque>
#include <span>
#include <vector>

#include "engine/ColourRange.h"

namespace Compare {

// Disjoint, non-touching runs in ascending order: the marks of one colour in
// a pane, kept as they are laid so that counting them, or finding which one
// holds an offset, never reads the text. Adding ranges joins those that
// touch; removing cuts them. Ranges that come in ascending order after the
// runs (as a pane is coloured from start to end), or that remove runs from
// the front (as it is blackened), cost a constant each, or a logarithm;
// others cost up to the number of runs. The runs are kept in blocks: a
// million more need no copy of those before them.
class RunSet
{
public:
    void add(std::span<const ColourRange> ranges);
    void remove(std::span<const ColourRange> ranges);
    void clear();
    // Follows an edit of the text: [at, at + removed) is replaced by
    // `inserted` uncoloured units. Runs in the removed part are cut, a run
    // across `at` is split around the new units, later runs move, and runs
    // that come to touch are joined. Costs the number of runs after `at`.
    void followEdit(qsizetype at, qsizetype removed, qsizetype inserted);

    qsizetype count() const { return qsizetype(m_runs.size()); }
    // The run at `index` (0-based, in ascending order).
    ColourRange at(qsizetype index) const { return m_runs[size_t(index)]; }
    // The index of the last run that starts at or before `offset`, or -1.
    qsizetype indexAtOrBefore(qsizetype offset) const;
    std::vector<ColourRange> runs() const;

private:
    using Runs = std::deque<ColourRange>;
    void addOne(ColourRange range);
    void removeOne(ColourRange range);
    // The first run that ends after `offset`.
    Runs::iterator firstEndingAfter(qsizetype offset);

    Runs m_runs;
};

} // namespace Compare
