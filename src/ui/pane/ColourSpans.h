#pragma once

#include <optional>
#include <vector>

#include "pane/Colour.h"

// The colours set on a pane's text, as sorted runs of document positions.
// Kept beside the document instead of in it: colouring a million runs costs
// no more than sorting them, and only the lines on screen are formatted.
class ColourSpans
{
public:
    struct Span
    {
        int from;
        int to; // exclusive
        Colour colour;

        friend bool operator==(const Span &, const Span &) = default;
    };

    // Gives the runs [from, to) (sorted, not overlapping) the colour; black,
    // the pane's own text colour, takes any colour away.
    void paint(const std::vector<std::pair<int, int>> &runs, Colour colour);
    void clear() { m_spans.clear(); }

    // `removed` characters at `position` were replaced by `added` ones; the
    // new ones take the colour of the character before them.
    void textChanged(int position, int removed, int added);

    std::optional<Colour> colourAt(int position) const;
    // The runs that overlap [from, to), cut to it.
    std::vector<Span> within(int from, int to) const;
    const std::vector<Span> &spans() const { return m_spans; }

private:
    std::vector<Span> m_spans;
};
