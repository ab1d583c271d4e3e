#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QFile;

namespace Args {

// Command-line arguments are bytes on Linux. A file name need not be valid
// UTF-8 ("lat\xe9.csv" from an old Latin-1 system), and Qt's own decoding turns
// such a byte into U+FFFD, after which the file can no longer be named. These
// functions decode UTF-8 losslessly instead: every byte that is not part of a
// valid UTF-8 sequence becomes the unpaired low surrogate U+DC00 + byte, which
// valid UTF-8 can never produce, and argumentBytes() turns it back.
// On Windows arguments are UTF-16 already and are taken as they are.

// The text of one argument; ASCII and valid UTF-8 read as usual.
QString argumentText(const QByteArray &bytes);

// The bytes argumentText() was given; other text is encoded as UTF-8 (any
// other unpaired surrogate as U+FFFD).
QByteArray argumentBytes(const QString &text);

// Whether `text` holds bytes that are not UTF-8 (as argumentText() keeps
// them): QFile cannot name such a file, argumentBytes() can.
bool holdsBytes(const QString &text);

// All the program's arguments, its own name first, with nothing lost: from
// argv through argumentText(), or on Windows from the wide command line.
QStringList programArguments(int argc, char **argv);

// Opens `file` (named by a path that may come from programArguments) for
// reading. Empty when it is open, else why not.
QString openForReading(QFile &file);

} // namespace Args
