#pragma once

#include <QByteArray>
#include <QString>

namespace Cli {

// What reading one file named on the command line gave: its bytes, or why it
// could not be read (error not empty; it names the file).
struct InputFile
{
    QByteArray bytes;
    QString error;

    bool ok() const { return error.isEmpty(); }
};

// Reads the whole file named by a command-line argument (see ArgumentText.h:
// the name is opened by its original bytes). "-" reads standard input. Pipes,
// process substitution and devices are read until their end, not by size.
InputFile readInputFile(const QString &argument);

// The error line as printed on standard error, without the final newline.
QString errorLine(const QString &message);

} // namespace Cli
