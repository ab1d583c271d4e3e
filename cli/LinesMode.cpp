// corvantis-cli lines: the lines of each file that occur nowhere in the other.

#include "TextMode.h"
#include "engine/LinePairComparison.h"

namespace Cli {

namespace {

// Both directions as one job on both cores, as the window's Lines runs them.
Compare::LinePairResult compareLines(const QByteArray &text1, const QByteArray &text2,
                                     const Compare::RunBoth &both)
{
    // Ranges are joined as they come: every output joins them anyway.
    return Compare::findLineDifferencesOfBoth(text1, text2, both, nullptr, Compare::Ranges::Joined);
}

// The result pane lists each line followed by a CR; every line but the first
// keeps the LF of its break in front.
void forEachLine(QByteArrayView result, const std::function<void(QByteArrayView)> &entry)
{
    qsizetype at = 0;
    for (qsizetype cr = result.indexOf('\r'); cr >= 0; cr = result.indexOf('\r', at)) {
        QByteArrayView line = result.sliced(at, cr - at);
        if (line.startsWith('\n'))
            line = line.sliced(1);
        entry(line);
        at = cr + 1;
    }
}

} // namespace

const TextComparison &lineComparison()
{
    static const TextComparison lines{"lines", "Lines of %1 missing from %2:", compareLines,
                                      forEachLine};
    return lines;
}

} // namespace Cli
