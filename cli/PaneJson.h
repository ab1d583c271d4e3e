#pragma once

#include <functional>

#include <QByteArrayView>

#include "engine/ColourRange.h"

namespace Cli {

// Where JSON goes, a piece at a time.
using JsonSink = std::function<void(QByteArrayView)>;

// The text a pane holds (its bytes, see text/PaneBytes.h) as one JSON string,
// quotes included: the bytes QJsonDocument writes for that text, written a
// piece at a time instead of from copies of the whole text.
void writeJsonText(QByteArrayView paneBytes, const JsonSink &put);

// Ranges of a pane's bytes, sorted and apart (as Compare::normalised gives
// them), as [[start,length],...] in UTF-16 code units: what
// PaneBytes::toUtf16Ranges gives, converted a batch at a time.
void writeJsonRanges(QByteArrayView paneBytes, const Compare::ColourRanges &byteRanges,
                     const JsonSink &put);

} // namespace Cli
