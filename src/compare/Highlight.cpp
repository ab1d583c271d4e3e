#include "compare/Highlight.h"

namespace Compare {

ColourRanges highlightOccurrences(QStringView text, QStringView needle)
{
    ColourRanges found;
    if (needle.isEmpty())
        return found;
    for (qsizetype at = text.indexOf(needle); at >= 0; at = text.indexOf(needle, at + 2))
        found.push_back({at, needle.size()});
    return found;
}

} // namespace Compare
