#include "InputFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

#include "base/ArgumentText.h"
#include "csv/LargeArrays.h"

#ifdef Q_OS_WIN
#include <io.h>
#endif

namespace Cli {

namespace {

constexpr qsizetype chunkSize = 64 * 1024;

// What fstat() tells, in 64 bits on Windows too, where plain stat's size is
// 32 bits.
#ifdef Q_OS_WIN
using FileStatus = struct _stat64;
int fileStatus(int fd, FileStatus &status)
{
    return ::_fstat64(fd, &status);
}
#else
using FileStatus = struct stat;
int fileStatus(int fd, FileStatus &status)
{
    return ::fstat(fd, &status);
}
#endif

// One read(); Windows' takes at most an unsigned int of bytes.
qsizetype readSome(int fd, char *into, qsizetype count)
{
#ifdef Q_OS_WIN
    return ::_read(fd, into, unsigned(std::min(count, qsizetype(1) << 30)));
#else
    return ::read(fd, into, size_t(count));
#endif
}

// Opens the file an argument names, by the bytes it was given as (see
// base/ArgumentText.h), or on Windows by its UTF-16 name.
int openArgument(const QString &argument)
{
#ifdef Q_OS_WIN
    const auto *name = reinterpret_cast<const wchar_t *>(argument.utf16());
    const int fd = ::_wopen(name, _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    struct _stat64 status
    {};
    // Windows refuses to open a folder as "access denied".
    if (fd < 0 && errno == EACCES && ::_wstat64(name, &status) == 0 && S_ISDIR(status.st_mode))
        errno = EISDIR;
    return fd;
#else
    const QByteArray path = Args::argumentBytes(argument);
    int fd = -1;
    do {
        fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
#endif
}

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

#ifndef Q_OS_WIN
// The file an argument names, as stat() sees it through links; false when
// there is none to see.
bool statusOf(const QString &argument, struct stat &status)
{
    if (argument == QLatin1String("-"))
        return ::fstat(STDIN_FILENO, &status) == 0;
    return ::stat(Args::argumentBytes(argument).constData(), &status) == 0;
}
#endif

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
        const qsizetype got = readSome(fd, input.bytes.data() + done, size - done);
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
    FileStatus status{};
    if (fileStatus(fd, status) != 0) {
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
            const qsizetype got = readSome(fd, chunk.data(), chunk.size());
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
    if (argument == QLatin1String("-")) {
#ifdef Q_OS_WIN
        ::_setmode(STDIN_FILENO, _O_BINARY); // the bytes as they are, CR LF too
#endif
        return readAll(STDIN_FILENO, QStringLiteral("standard input"));
    }
    const int fd = openArgument(argument);
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
#ifdef Q_OS_WIN
    // Windows numbers no files (st_ino is 0) and names no pipes on the command
    // line: there is no other way to give one pipe twice.
    return QString();
#else
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
#endif
}

} // namespace Cli
