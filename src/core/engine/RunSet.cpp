#include "engine/RunSet.h"

#include <algorithm>

namespace Compare {

namespace {

qsizetype endOf(const ColourRange &r)
{
    return r.start + r.length;
}

} // namespace

void RunSet::clear()
{
    m_runs.clear();
}

std::vector<ColourRange> RunSet::runs() const
{
    return {m_runs.begin(), m_runs.end()};
}

RunSet::Runs::iterator RunSet::firstEndingAfter(qsizetype offset)
{
    return std::partition_point(m_runs.begin(), m_runs.end(),
                                [offset](const ColourRange &r) { return endOf(r) <= offset; });
}

qsizetype RunSet::indexAtOrBefore(qsizetype offset) const
{
    const auto it = std::partition_point(
        m_runs.begin(), m_runs.end(), [offset](const ColourRange &r) { return r.start <= offset; });
    return qsizetype(it - m_runs.begin()) - 1;
}

void RunSet::add(std::span<const ColourRange> ranges)
{
    for (const ColourRange &r : ranges)
        if (r.length > 0)
            addOne(r);
}

void RunSet::addOne(ColourRange range)
{
    // Past the last run: appended, or joined to it when they touch.
    if (m_runs.empty() || range.start > endOf(m_runs.back())) {
        m_runs.push_back(range);
        return;
    }
    // The runs from `first` to `last` (exclusive) overlap or touch the range.
    const auto first = firstEndingAfter(range.start - 1);
    auto last = first;
    qsizetype start = range.start;
    qsizetype end = endOf(range);
    while (last != m_runs.end() && last->start <= end) {
        start = std::min(start, last->start);
        end = std::max(end, endOf(*last));
        ++last;
    }
    const ColourRange joined{start, end - start};
    if (first == last) {
        m_runs.insert(first, joined);
        return;
    }
    *first = joined;
    m_runs.erase(first + 1, last);
}

void RunSet::remove(std::span<const ColourRange> ranges)
{
    for (const ColourRange &r : ranges)
        if (r.length > 0)
            removeOne(r);
}

void RunSet::removeOne(ColourRange range)
{
    const qsizetype end = endOf(range);
    const auto first = firstEndingAfter(range.start);
    auto last = first;
    while (last != m_runs.end() && last->start < end)
        ++last;
    if (first == last)
        return;
    // What is left of the first and last runs outside the range.
    const ColourRange before{first->start, range.start - first->start};
    const ColourRange after{end, endOf(*(last - 1)) - end};
    if (before.length > 0 && after.length > 0 && last - first == 1) {
        *first = before;
        m_runs.insert(first + 1, after);
        return;
    }
    auto keep = first;
    if (before.length > 0)
        *keep++ = before;
    if (after.length > 0)
        *keep++ = after;
    m_runs.erase(keep, last);
}

void RunSet::followEdit(qsizetype at, qsizetype removed, qsizetype inserted)
{
    if (removed > 0)
        removeOne({at, removed});
    auto it = firstEndingAfter(at);
    if (it == m_runs.end())
        return;
    if (it->start < at && inserted > 0) {
        // The run goes on after the new units.
        const ColourRange tail{at, endOf(*it) - at};
        it->length = at - it->start;
        it = m_runs.insert(it + 1, tail);
    } else if (it->start < at) {
        ++it; // nothing is inserted: the run stays as it is
    }
    const qsizetype delta = inserted - removed;
    for (auto moved = it; moved != m_runs.end(); ++moved)
        moved->start += delta;
    if (it != m_runs.begin() && it != m_runs.end() && endOf(*(it - 1)) == it->start) {
        (it - 1)->length += it->length;
        m_runs.erase(it);
    }
}

} // namespace Compare
