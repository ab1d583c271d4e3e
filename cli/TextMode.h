#pragma once

#include <functional>
#include <memory>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include "Mode.h"
#include "engine/LinePairComparison.h"
#include "engine/SideResult.h"

namespace Cli {

// What the lines and the words comparisons do differently; the rest (the
// options, the loading, the output) is the same for both.
struct TextComparison
{
    const char *word; // the mode's word on the command line

    // The heading of one file's differences, with %1 for that file and %2 for
    // the other.
    const char *heading;

    // The differences of each text against the other, as the result panes
    // hold them; `both` runs two pieces of work at once.
    Compare::LinePairResult (*compare)(const QByteArray &text1, const QByteArray &text2,
                                       const Compare::RunBoth &both);

    // Hands each entry of a result pane's text to `entry`, without its line
    // break, in the order the pane lists them.
    void (*forEachEntry)(QByteArrayView result, const std::function<void(QByteArrayView)> &entry);
};

const TextComparison &lineComparison();
const TextComparison &wordComparison();

// corvantis-cli lines|words FILE1 FILE2: the mode's word is the first operand.
std::unique_ptr<Mode> makeTextMode();

} // namespace Cli
