#include "InputFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

#include "ArgumentText.h"
#include "csv/LargeArrays.h"

namespace Cli {

namespace {

constexpr qsizetype chunkSize = 64 * 1024;

// Why `name` could not be opened or read, for the error number of the
// failure: the name first, as every message about a file.
QString failure(const QString &name, int error)
{
    QString reason;
    switch (error) {
    case ENOENT:
        reason = QStringLiteral("File not found");
        break;
    case EISDIR:
        reason = QStringLiteral("It is a folder, not a file");
        break;
    case EACCES:
    case EPERM:
        reason = QStringLiteral("Permission denied");
        break;
    case ENOTDIR:
        reason = QStringLiteral("A part of its path is a file, not a folder");
        break;
    default:
        reason = QString::fromLocal8Bit(std::strerror(error));
    }
    return name + QStringLiteral(": ") + reason;
}

// The file an argument names, as stat() sees it through links; false when
// there is none to see.
bool statusOf(const QString &argument, struct stat &status)
{
    if (argument == QLatin1String("-"))
        return ::fstat(STDIN_FILENO, &status) == 0;
    return ::stat(argumentBytes(argument).constData(), &status) == 0;
}

// Reads a regular file to the size it had when it was opened: what is added
// while it is read is left out; a file that shrinks is an error, never part
// of a file compared as if it were the whole.
InputFile readRegular(int fd, const QString &name, qsizetype size)
{
    InputFile input;
    input.bytes = QByteArray(size, Qt::Uninitialized);
    // Only large files gain: a small one would round its memory up to 2 MB pages.
    if (size >= (qsizetype(64) << 20))
        Csv::adviseLargePages(input.bytes.data(), size_t(size));
    qsizetype done = 0;
    while (done < size) {
        const ssize_t got = ::read(fd, input.bytes.data() + done, size_t(size - done));
        if (got > 0) {
            done += qsizetype(got);
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        input.error = got < 0 ? failure(name, errno)
                              : name + QStringLiteral(": The file shrank while it was read");
        input.bytes = QByteArray();
        break;
    }
    return input;
}

// Reads `fd` to its end. A regular file's buffer is reserved at its size;
// anything else grows as it comes, since its size says nothing.
InputFile readAll(int fd, const QString &name)
{
    InputFile input;
    struct stat status
    {};
    if (::fstat(fd, &status) != 0) {
        input.error = failure(name, errno);
        return input;
    }
    if (S_ISDIR(status.st_mode)) {
        input.error = failure(name, EISDIR);
        return input;
    }
    try {
        if (S_ISREG(status.st_mode) && status.st_size > 0)
            return readRegular(fd, name, qsizetype(status.st_size));
        QByteArray chunk(chunkSize, Qt::Uninitialized);
        for (;;) {
            const ssize_t got = ::read(fd, chunk.data(), size_t(chunk.size()));
            if (got > 0) {
                input.bytes.append(chunk.constData(), qsizetype(got));
            } else if (got == 0) {
                break;
            } else if (errno != EINTR) {
                input.error = failure(name, errno);
                input.bytes = QByteArray();
                break;
            }
        }
    } catch (const std::bad_alloc &) {
        input.bytes = QByteArray();
        input.error = name + QStringLiteral(": Too large to read: out of memory");
    }
    return input;
}

} // namespace

InputFile readInputFile(const QString &argument)
{
    if (argument == QLatin1String("-"))
        return readAll(STDIN_FILENO, QStringLiteral("standard input"));

    const QByteArray path = argumentBytes(argument);
    int fd = -1;
    do {
        fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        InputFile input;
        input.error = failure(argument, errno);
        return input;
    }
    InputFile input = readAll(fd, argument);
    ::close(fd);
    return input;
}

QString sameInputTwice(const QString &argument1, const QString &argument2)
{
    if (argument1 == QLatin1String("-") && argument2 == QLatin1String("-"))
        return QStringLiteral("Standard input (-) can stand for one file only");
    struct stat status1
    {};
    struct stat status2
    {};
    if (!statusOf(argument1, status1) || !statusOf(argument2, status2))
        return QString(); // reading it will say what is wrong
    const bool stream = S_ISFIFO(status1.st_mode) || S_ISSOCK(status1.st_mode);
    if (!stream || status1.st_dev != status2.st_dev || status1.st_ino != status2.st_ino)
        return QString();
    return QStringLiteral("%1: The same pipe is given as both files; it can be read once only")
        .arg(argument2 == QLatin1String("-") ? argument1 : argument2);
}

} // namespace Cli
