#include "pane/ColourSpans.h"

#include <algorithm>

namespace {

using Span = ColourSpans::Span;

// Joins touching runs of one colour.
void appendJoined(std::vector<Span> &out, const Span &s)
{
    if (s.to <= s.from)
        return;
    if (!out.empty() && out.back().to == s.from && out.back().colour == s.colour)
        out.back().to = s.to;
    else
        out.push_back(s);
}

} // namespace

void ColourSpans::paint(const std::vector<std::pair<int, int>> &runs, Colour colour)
{
    if (runs.empty())
        return;
    // What is left of the old runs outside the new ones.
    std::vector<Span> kept;
    kept.reserve(m_spans.size() + 1);
    size_t next = 0;
    for (const Span &s : m_spans) {
        while (next < runs.size() && runs[next].second <= s.from)
            ++next;
        int from = s.from;
        for (size_t k = next; k < runs.size() && runs[k].first < s.to; ++k) {
            if (runs[k].first > from)
                kept.push_back({from, runs[k].first, s.colour});
            from = std::max(from, runs[k].second);
        }
        if (from < s.to)
            kept.push_back({from, s.to, s.colour});
    }
    std::vector<Span> merged;
    merged.reserve(kept.size() + (colour == kBlack ? 0 : runs.size()));
    auto old = kept.begin();
    auto add = [&](const Span &s) { appendJoined(merged, s); };
    if (colour != kBlack) {
        for (const auto &[from, to] : runs) {
            for (; old != kept.end() && old->from < from; ++old)
                add(*old);
            add({from, to, colour});
        }
    }
    for (; old != kept.end(); ++old)
        add(*old);
    m_spans = std::move(merged);
}

void ColourSpans::textChanged(int position, int removed, int added)
{
    auto first = std::lower_bound(m_spans.begin(), m_spans.end(), position,
                                  [](const Span &s, int p) { return s.to < p; });
    const auto map = [&](int x) {
        return x <= position ? x : (x >= position + removed ? x - removed : position);
    };
    std::vector<Span> rest;
    rest.reserve(size_t(m_spans.end() - first));
    for (auto it = first; it != m_spans.end(); ++it) {
        Span s{map(it->from), map(it->to), it->colour};
        if (s.from >= position && s.to > s.from) {
            s.from += added;
            s.to += added;
        } else if (s.from < position && s.to >= position) {
            s.to += added; // typed after coloured text: it takes that colour
        }
        appendJoined(rest, s);
    }
    m_spans.erase(first, m_spans.end());
    for (const Span &s : rest)
        appendJoined(m_spans, s);
}

std::optional<Colour> ColourSpans::colourAt(int position) const
{
    const auto it = std::upper_bound(m_spans.begin(), m_spans.end(), position,
                                     [](int p, const Span &s) { return p < s.to; });
    if (it != m_spans.end() && it->from <= position)
        return it->colour;
    return std::nullopt;
}

std::vector<ColourSpans::Span> ColourSpans::within(int from, int to) const
{
    std::vector<Span> found;
    auto it = std::upper_bound(m_spans.begin(), m_spans.end(), from,
                               [](int p, const Span &s) { return p < s.to; });
    for (; it != m_spans.end() && it->from < to; ++it)
        found.push_back({std::max(it->from, from), std::min(it->to, to), it->colour});
    return found;
}
