#pragma once

#include <cstdio>

#include <QByteArrayView>
#include <QString>

namespace Cli {

// What corvantis-cli says besides its results. Each error is one line on
// standard error, "corvantis-cli: " and the message; a message about a file
// starts with the file's name ("a.csv: File not found"). Messages print
// escaped as the text report escapes names (a line break as "\n", ESC as
// "\x1b", a byte of a name that was not UTF-8 as "\xE9"): a name can neither
// forge a line nor drive the terminal.

// The error line as printed, without the final newline.
QString errorLine(const QString &message);

void printError(const QString &message);

// A file read as UTF-8 that was not: where its first invalid byte stands and
// how it was read. Nothing when `invalidLine` is 0.
void printEncodingNote(const QString &name, qint64 invalidLine, const QString &encoding);

// A command line that cannot be used: what is wrong, then where help is.
// `mode` is the mode whose help to point at ("rows"), or empty.
void printUsageError(const QString &message, const QString &mode = QString());

void writeBytes(std::FILE *stream, QByteArrayView bytes);

// Flushes standard output; when anything written to it was lost (a full
// disk, a closed pipe), says so on standard error and returns false.
bool flushStandardOutput();

} // namespace Cli
