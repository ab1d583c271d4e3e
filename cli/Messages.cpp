#include "Messages.h"

#include <cerrno>
#include <cstring>

#include "csv/RowsReport.h"

namespace Cli {

QString errorLine(const QString &message)
{
    return QStringLiteral("corvantis-cli: ") + message;
}

namespace {
// Why a write to standard output first failed: a long text written to a full
// device fails inside fwrite, and the later flush no longer says why.
int firstOutputError = 0;
} // namespace

void writeBytes(std::FILE *stream, QByteArrayView bytes)
{
    errno = 0;
    const size_t written = std::fwrite(bytes.data(), 1, size_t(bytes.size()), stream);
    if (written != size_t(bytes.size()) && stream == stdout && firstOutputError == 0)
        firstOutputError = errno;
}

void printError(const QString &message)
{
    writeBytes(stderr, Csv::escapedName(errorLine(message)) + '\n');
    std::fflush(stderr);
}

void printEncodingNote(const QString &name, qint64 invalidLine, const QString &encoding)
{
    if (invalidLine > 0)
        printError(QStringLiteral("%1: not valid UTF-8 (line %2); read as %3")
                       .arg(name)
                       .arg(invalidLine)
                       .arg(encoding));
}

void printUsageError(const QString &message, const QString &mode)
{
    const QString command =
        mode.isEmpty() ? QStringLiteral("corvantis-cli") : QStringLiteral("corvantis-cli ") + mode;
    writeBytes(stderr, Csv::escapedName(errorLine(message)) + '\n'
                           + QStringLiteral("Try '%1 --help'.\n").arg(command).toUtf8());
    std::fflush(stderr);
}

bool flushStandardOutput()
{
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout))
        return true;
    const int error = firstOutputError != 0 ? firstOutputError : errno;
    QString message = QStringLiteral("Cannot write to standard output");
    if (error != 0)
        message += QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
    printError(message);
    return false;
}

} // namespace Cli
