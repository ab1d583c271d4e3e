#pragma once

#include <vector>

#include <QByteArrayView>
#include <QtGlobal>

#include "engine/Progress.h"

// Where the lines of a text start, as a pane shows them: a line ends at a CR
// LF, a lone CR or a lone LF. One 8-byte offset per line break, so a text of
// any size can be indexed; built once, off the window's thread, for the bytes
// a file loads into.
namespace LineIndex {

using Starts = std::vector<qint64>;

// The offsets p with 0 < p < bytes.size() at which a line starts: after an
// LF, or after a CR that no LF follows. A break at the very end starts no
// line here, since what follows it is not known (see TextBuffer). A large
// text is indexed on two cores. Adds bytes.size() to the done count of
// `progress` as it goes; returns nothing once the progress is cancelled.
Starts build(QByteArrayView bytes, Compare::Progress *progress = nullptr);

// How many starts build() gives, counted without keeping them.
qint64 count(QByteArrayView bytes);

// Adds the starts of bytes[from, bytes.size()) to `starts`, which holds the
// starts of bytes[0, from) as build() gives them: for a text that grows at
// its end.
void extend(Starts &starts, QByteArrayView bytes, qint64 from);

} // namespace LineIndex
