#pragma once

#include <QString>

#include "engine/ColourRange.h"

namespace Compare {

// What one comparison pass gives for one file: the text of its result pane,
// the characters of its full pane to colour red, and how many lines (or
// words) differ.
struct SideResult
{
    QString resultText;
    ColourRanges red;
    qsizetype differences = 0;
};

} // namespace Compare
