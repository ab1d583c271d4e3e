#pragma once

#include <QByteArray>
#include <QString>

#include "engine/Progress.h"

namespace Files {

// Turns a file's bytes into pane text without losing a character:
// - a rich text (RTF) file becomes its plain text;
// - UTF-8 (BOM or not) and UTF-16 LE/BE with a BOM are decoded, the BOM dropped;
// - UTF-8 with some bytes that are not (a BOM, or as many valid sequences
//   past ASCII as invalid bytes) keeps its valid sequences, and only the
//   invalid bytes are read as Windows-1252;
// - anything else that is not valid UTF-8 is read as Windows-1252, one
//   character per byte;
// - every line break (CR LF, lone CR, lone LF) becomes CR LF.
// The pane's own form of that text (see PaneBytes): a UTF-8 file with CR LF
// breaks comes back as it was, without a copy.
QByteArray decodeToPaneBytes(QByteArray bytes);
QString decodeToPaneText(const QByteArray &bytes);

// What a user should be told of how a file's bytes were read: nothing (an
// empty encoding) when they were UTF-8, UTF-16 or rich text; otherwise how
// they were read and the first line that holds a byte that is not UTF-8.
struct DecodeNote
{
    QString encoding; // "Windows-1252" or "UTF-8 (invalid bytes as Windows-1252)"
    qsizetype invalidLine = 0;
};
DecodeNote decodeNote(QByteArrayView bytes);
QByteArray decodeToPaneBytes(QByteArray bytes, DecodeNote &note);

// Whether bytes that are not valid UTF-8 still hold at least as many valid
// sequences past ASCII as invalid bytes: UTF-8 with a few stray bytes.
bool mostlyUtf8(QByteArrayView bytes);

// The line (1-based; CR LF, CR or LF) of the first byte that is not part of a
// valid UTF-8 sequence; 0 when there is none.
qsizetype firstInvalidLine(QByteArrayView bytes);

// Decodes as above but leaves every line break as the file has it (a table's
// cells keep their bytes); `encoding` names how the bytes were read and, when
// given, `invalidLine` is decodeNote's. UTF-8 is checked once, not once a
// question: a file of gigabytes is read through at memory speed each time.
QByteArray decodeKeepingBreaks(QByteArray bytes, QString &encoding,
                               qsizetype *invalidLine = nullptr);

// Reads the whole file at `path` through the core's reader (a pipe or device
// refused), undecoded. Throws AppError "Cannot load PATH: reason" when the file
// cannot be read. With a `progress`, counts the bytes read and gives nothing
// once it is cancelled.
QByteArray readFileToLoad(const QString &path, Compare::Progress *progress = nullptr);

// Reads the whole file at `path` as above and decodes it as above. Throws AppError with
// the system's description when the file cannot be read. With a `progress`,
// counts the bytes read and stops early (giving nothing) when it is cancelled.
QByteArray loadFileBytes(const QString &path, Compare::Progress *progress = nullptr);
QString loadFileText(const QString &path);

} // namespace Files
