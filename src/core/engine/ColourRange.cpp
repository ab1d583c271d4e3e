#include "engine/ColourRange.h"

#include <algorithm>

namespace Compare {

ColourRanges normalised(ColourRanges ranges)
{
    std::erase_if(ranges, [](const ColourRange &r) { return r.length <= 0; });
    std::sort(ranges.begin(), ranges.end(),
              [](const ColourRange &a, const ColourRange &b) { return a.start < b.start; });
    ColourRanges merged;
    merged.reserve(ranges.size());
    for (const ColourRange &r : ranges) {
        if (!merged.empty() && r.start <= merged.back().start + merged.back().length) {
            ColourRange &last = merged.back();
            last.length = std::max(last.start + last.length, r.start + r.length) - last.start;
        } else {
            merged.push_back(r);
        }
    }
    return merged;
}

} // namespace Compare
