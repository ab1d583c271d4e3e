#pragma once

#include <QByteArray>
#include <QString>

#include "engine/Progress.h"

namespace Files {

// Turns a file's bytes into pane text without losing a character:
// - a rich text (RTF) file becomes its plain text;
// - UTF-8 (BOM or not) and UTF-16 LE/BE with a BOM are decoded, the BOM dropped;
// - anything else that is not valid UTF-8 is read as Windows-1252, one
//   character per byte;
// - every line break (CR LF, lone CR, lone LF) becomes CR LF.
// The pane's own form of that text (see PaneBytes): a UTF-8 file with CR LF
// breaks comes back as it was, without a copy.
QByteArray decodeToPaneBytes(QByteArray bytes);
QString decodeToPaneText(const QByteArray &bytes);

// Decodes as above but leaves every line break as the file has it (a table's
// cells keep their bytes); `encoding` names how the bytes were read.
QByteArray decodeKeepingBreaks(QByteArray bytes, QString &encoding);

// Reads the whole file at `path` and decodes it as above. Throws AppError with
// the system's description when the file cannot be read. With a `progress`,
// counts the bytes read and stops early (giving nothing) when it is cancelled.
QByteArray loadFileBytes(const QString &path, Compare::Progress *progress = nullptr);
QString loadFileText(const QString &path);

} // namespace Files
