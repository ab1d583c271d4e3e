#pragma once

#include <QByteArray>
#include <QString>

namespace Cli {

// Command-line arguments are bytes. A file name need not be valid UTF-8
// ("lat\xe9.csv" from an old Latin-1 system), and Qt's own decoding turns such
// a byte into U+FFFD, after which the file can no longer be named. These two
// functions decode UTF-8 losslessly instead: every byte that is not part of a
// valid UTF-8 sequence becomes the unpaired low surrogate U+DC00 + byte, which
// valid UTF-8 can never produce, and argumentBytes() turns it back.

// The text of one argument; ASCII and valid UTF-8 read as usual.
QString argumentText(const QByteArray &bytes);

// The bytes argumentText() was given; other text is encoded as UTF-8 (any
// other unpaired surrogate as U+FFFD).
QByteArray argumentBytes(const QString &text);

} // namespace Cli
