#pragma once

#include <vector>

#include <QtGlobal>

namespace Compare {

// A run of characters in a pane, as a 0-based offset into the pane text and a
// length, both in UTF-16 code units (a CR LF counts as two characters).
struct ColourRange
{
    qsizetype start = 0;
    qsizetype length = 0;

    friend bool operator==(const ColourRange &, const ColourRange &) = default;
};

using ColourRanges = std::vector<ColourRange>;

// Sorts the ranges and merges those that overlap or touch; empty ones vanish.
ColourRanges normalised(ColourRanges ranges);

} // namespace Compare
