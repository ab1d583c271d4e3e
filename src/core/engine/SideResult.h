#pragma once

#include <QByteArray>
#include <QString>

#include "engine/ColourRange.h"

namespace Compare {

// What one comparison pass gives for one file: the text of its result pane,
// the characters of its full pane to colour red, and how many lines (or
// words) differ. The texts are UTF-16 (SideResult, ranges in code units) or
// the panes' own UTF-8 bytes (ByteSideResult, ranges in bytes).
template <typename Text>
struct BasicSideResult
{
    Text resultText;
    ColourRanges red;
    qsizetype differences = 0;
};

using SideResult = BasicSideResult<QString>;
using ByteSideResult = BasicSideResult<QByteArray>;

// How the red ranges come: one per difference, or with ranges that touch
// joined as they come (as normalised() would join them; far fewer for runs of
// differing lines, and all a pane needs).
enum class Ranges { AsFound, Joined };

} // namespace Compare
