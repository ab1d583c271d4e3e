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
    m_head = 0;
}

std::vector<ColourRange> RunSet::runs() const
{
    return {m_runs.begin() + qsizetype(m_head), m_runs.end()};
}

size_t RunSet::firstEndingAfter(qsizetype offset) const
{
    const auto it =
        std::partition_point(m_runs.begin() + qsizetype(m_head), m_runs.end(),
                             [offset](const ColourRange &r) { return endOf(r) <= offset; });
    return size_t(it - m_runs.begin());
}

qsizetype RunSet::indexAtOrBefore(qsizetype offset) const
{
    const auto it =
        std::partition_point(m_runs.begin() + qsizetype(m_head), m_runs.end(),
                             [offset](const ColourRange &r) { return r.start <= offset; });
    return qsizetype(it - m_runs.begin()) - qsizetype(m_head) - 1;
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
    if (count() == 0 || range.start > endOf(m_runs.back())) {
        m_runs.push_back(range);
        return;
    }
    // The runs from `first` to `last` (exclusive) overlap or touch the range.
    const size_t first = firstEndingAfter(range.start - 1);
    size_t last = first;
    qsizetype start = range.start;
    qsizetype end = endOf(range);
    while (last < m_runs.size() && m_runs[last].start <= end) {
        start = std::min(start, m_runs[last].start);
        end = std::max(end, endOf(m_runs[last]));
        ++last;
    }
    const ColourRange joined{start, end - start};
    if (first == last) {
        m_runs.insert(m_runs.begin() + qsizetype(first), joined);
        return;
    }
    m_runs[first] = joined;
    m_runs.erase(m_runs.begin() + qsizetype(first) + 1, m_runs.begin() + qsizetype(last));
}

void RunSet::remove(std::span<const ColourRange> ranges)
{
    for (const ColourRange &r : ranges)
        if (r.length > 0)
            removeOne(r);
    compact();
}

void RunSet::removeOne(ColourRange range)
{
    const qsizetype end = endOf(range);
    size_t first = firstEndingAfter(range.start);
    size_t last = first;
    while (last < m_runs.size() && m_runs[last].start < end)
        ++last;
    if (first == last)
        return;
    // What is left of the first and last runs outside the range.
    const ColourRange before{m_runs[first].start, range.start - m_runs[first].start};
    const ColourRange after{end, endOf(m_runs[last - 1]) - end};
    std::vector<ColourRange> kept;
    if (before.length > 0)
        kept.push_back(before);
    if (after.length > 0)
        kept.push_back(after);
    if (first == m_head && kept.size() <= 1) {
        // From the front: the head moves on instead of the runs after it.
        m_head = last;
        if (!kept.empty())
            m_runs[--m_head] = kept.front();
        return;
    }
    if (kept.size() == 2 && last - first == 1) {
        m_runs[first] = before;
        m_runs.insert(m_runs.begin() + qsizetype(first) + 1, after);
        return;
    }
    std::copy(kept.begin(), kept.end(), m_runs.begin() + qsizetype(first));
    m_runs.erase(m_runs.begin() + qsizetype(first + kept.size()), m_runs.begin() + qsizetype(last));
}

void RunSet::compact()
{
    if (m_head == m_runs.size()) {
        clear();
    } else if (m_head > m_runs.size() / 2) {
        m_runs.erase(m_runs.begin(), m_runs.begin() + qsizetype(m_head));
        m_head = 0;
    }
}

} // namespace Compare
