#pragma once

#include <QByteArrayView>
#include <QStringView>

#include "engine/Progress.h"
#include "engine/ResultSink.h"
#include "engine/SideResult.h"

namespace Compare {

template <typename Result>
struct BasicWordComparison
{
    Result file1; // words of text 1 missing from their partner lines in text 2
    Result file2; // the other way round
};

using WordComparison = BasicWordComparison<SideResult>;
using ByteWordComparison = BasicWordComparison<ByteSideResult>;

// The word comparison of the two full panes' texts: line i paired with line j
// of the other text, words cut at single spaces and looked for within the
// search window after the last match. Red ranges are offsets into the
// examined text; result texts hold CR LF + word per differing word.
// A lone CR at the very end of a text ends its last line; a text with no
// lines pairs every line of the other with an empty line. Runs in time
// linear in the texts (times a logarithm for lines of very many words); adds
// text1.size() + text2.size() steps to the total of `progress` at its start
// and to its done count as it goes. Once `progress` is cancelled it stops
// within a few thousand lines; what it returns then is incomplete.
//
// The texts are UTF-16 or the panes' UTF-8 bytes (see PaneBytes); both give
// the same result for the same texts, counted in their own units.
WordComparison findWordDifferences(QStringView text1, QStringView text2,
                                   Progress *progress = nullptr);
ByteWordComparison findWordDifferences(QByteArrayView text1, QByteArrayView text2,
                                       Progress *progress = nullptr);

// One of the two passes above: the words of `source` missing from their
// partner lines in `other`. The two passes share nothing and may run at the
// same time; each adds source.size() steps to the total and the done count.
// With a sink, where each differing word lies goes there as it is found, and
// so do the red ranges the sink takes.
ByteSideResult findWordDifferencesOf(QByteArrayView source, QByteArrayView other,
                                     Progress *progress = nullptr, ResultSink *sink = nullptr);

} // namespace Compare
