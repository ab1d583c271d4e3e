#pragma once

#include <functional>

#include <QByteArrayView>

#include "engine/Progress.h"
#include "engine/ResultSink.h"
#include "engine/SideResult.h"

namespace Compare {

// Runs `first` and `second` at once, on two threads, and returns when both
// have ended; what either throws reaches the caller.
using RunBoth =
    std::function<void(const std::function<void()> &first, const std::function<void()> &second)>;

struct LinePairResult
{
    ByteSideResult in1; // the lines of text1 that occur nowhere in text2
    ByteSideResult in2; // and those of text2 that occur nowhere in text1
};

// Both directions of findLineDifferences on the panes' bytes at once, with
// the same results (and the same calls to each sink) as two separate runs.
// One set of text2's distinct lines serves both: each line of text1 found in
// it marks its line there, and a line of text2 differs when its line was
// never marked. Every step is shared by the two threads `runBoth` offers, so
// each text is hashed about twice in all instead of four times, and the
// set's random reads, where a comparison of large files spends its time, are
// split between the cores. Adds its steps to the total of `progress` at its
// start; once `progress` is cancelled it stops within a few thousand lines
// and returns nothing.
LinePairResult findLineDifferencesOfBoth(QByteArrayView text1, QByteArrayView text2,
                                         const RunBoth &runBoth, Progress *progress = nullptr,
                                         Ranges ranges = Ranges::AsFound,
                                         ResultSink *sink1 = nullptr, ResultSink *sink2 = nullptr);

} // namespace Compare
