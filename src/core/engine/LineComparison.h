#pragma once

#include <QByteArrayView>
#include <QStringView>

#include "engine/Progress.h"
#include "engine/ResultSink.h"
#include "engine/SideResult.h"

namespace Compare {

// The lines of `source` that occur nowhere in `other`.
//
// Both texts are cut at every CR; a piece's content is the piece without the
// LF that a CR LF break leaves at its start, and pieces are compared by
// content (exactly, case-sensitively). A text that ends with a CR (loading
// appends one) has an end rather than a last line: the empty piece after
// that CR, and the empty line before it if there is one (the file's own last
// break, or an empty file). The end of one text equals the end of the other,
// never an empty line, so an empty line the other file lacks is listed.
// Every differing piece is appended to the result text as cut, followed by
// one CR, in source order and as often as it occurs. The red ranges cover
// each differing piece with the CR after it (the last piece has none). Runs
// in time linear in the two texts; adds source.size() + other.size() steps
// to the total of `progress` at its start and to its done count as it goes.
// Once `progress` is cancelled it stops within a few thousand lines; what it
// returns then is incomplete.
//
// The texts are UTF-16 or the panes' UTF-8 bytes (see PaneBytes); both give
// the same result for the same texts, counted in their own units. With a
// sink, where each differing line lies goes there as it is found and
// resultText stays empty.
SideResult findLineDifferences(QStringView source, QStringView other, Progress *progress = nullptr);
ByteSideResult findLineDifferences(QByteArrayView source, QByteArrayView other,
                                   Progress *progress = nullptr, Ranges ranges = Ranges::AsFound,
                                   ResultSink *sink = nullptr);

// The last piece (with its CR) of a red range that joins adjacent pieces: the
// one line a comparison leaves selected.
ColourRange lastPieceOf(QByteArrayView source, ColourRange run);

} // namespace Compare
