#pragma once

#include <QStringView>

#include "compare/ColourRange.h"

namespace Compare {

// Every occurrence of `needle` in `text`, each search starting two characters
// after the start of the occurrence before (so an occurrence one character
// after another is skipped). An empty needle marks nothing.
ColourRanges highlightOccurrences(QStringView text, QStringView needle);

} // namespace Compare
