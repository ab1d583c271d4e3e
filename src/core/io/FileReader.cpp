#include "io/FileReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <new>
#include <sys/stat.h>

#include "base/ArgumentText.h"
#include "base/BothAtOnce.h"
#include "csv/LargeArrays.h"

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace Files {

namespace {

// A stream is read this much at a time; a regular file this much between two
// looks at the progress.
constexpr qsizetype streamChunk = 64 * 1024;
constexpr qsizetype fileChunk = 8 * 1024 * 1024;
// Room left after a regular file's bytes: a window that shows them adds a
// line break and some typing at the end without moving them all.
constexpr qsizetype roomAfter = 4096;

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

void closeFile(int fd)
{
#ifdef Q_OS_WIN
    ::_close(fd);
#else
    ::close(fd);
#endif
}

// Opens the file a name names, by the bytes it was given as. A stream that is
// to be refused is opened without waiting for a writer.
int openName(const QString &name, Streams streams)
{
#ifdef Q_OS_WIN
    Q_UNUSED(streams);
    const auto *path = reinterpret_cast<const wchar_t *>(name.utf16());
    const int fd = ::_wopen(path, _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    struct _stat64 status
    {};
    // Windows refuses to open a folder as "access denied".
    if (fd < 0 && errno == EACCES && ::_wstat64(path, &status) == 0 && S_ISDIR(status.st_mode))
        errno = EISDIR;
    return fd;
#else
    const QByteArray path = Args::argumentBytes(name);
    const int flags = O_RDONLY | O_CLOEXEC | (streams == Streams::Refused ? O_NONBLOCK : 0);
    int fd = -1;
    do {
        fd = ::open(path.constData(), flags);
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

bool cancelled(const Compare::Progress *progress)
{
    return progress && progress->cancelled.load(std::memory_order_relaxed);
}

FileBytes cancelledRead()
{
    FileBytes read;
    read.cancelled = true;
    return read;
}

FileBytes failedRead(QString error, int errorNumber = 0)
{
    FileBytes read;
    read.error = std::move(error);
    read.errorNumber = errorNumber;
    return read;
}

FileBytes systemFailure(const QString &name, int errorNumber)
{
    return failedRead(failure(name, errorNumber), errorNumber);
}

// What reading a part of a file ended with, besides 0 (all read) and the
// system's error numbers.
constexpr int kShrank = -1;
constexpr int kCancelled = -2;

// Reads bytes [from, to) of a regular file into into[from, to): at those
// offsets (`positioned`, for a file this reader opened itself), or from
// where the file stands. Returns 0, an error number, kShrank or kCancelled.
int readPart(int fd, char *into, qsizetype from, qsizetype to, bool positioned,
             Compare::Progress *progress)
{
    for (qsizetype done = from; done < to;) {
        if (cancelled(progress))
            return kCancelled;
        const qsizetype count = std::min(to - done, fileChunk);
#ifdef Q_OS_WIN
        Q_UNUSED(positioned);
        const qsizetype got = readSome(fd, into + done, count);
#else
        const qsizetype got = positioned ? ::pread(fd, into + done, size_t(count), off_t(done))
                                         : readSome(fd, into + done, count);
#endif
        if (got > 0) {
            done += got;
            if (progress)
                progress->add(got);
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        return got < 0 ? errno : kShrank;
    }
    return 0;
}

// A file of this size or more that this reader opened is read in two halves
// at once: filling new memory costs as much as the copy, and both scale with
// the cores. Windows' reads have no offset of their own.
#ifdef Q_OS_WIN
constexpr qsizetype halvesFrom = std::numeric_limits<qsizetype>::max();
#else
constexpr qsizetype halvesFrom = qsizetype(64) << 20;
#endif

FileBytes readRegular(int fd, const QString &name, qsizetype size, bool opened,
                      Compare::Progress *progress, Access access)
{
    FileBytes read;
    read.bytes.reserve(size + roomAfter);
    read.bytes.resize(size); // the new bytes are not written: the read fills them
    char *into = read.bytes.data();
    // Only large files gain: a small one would round its memory up to 2 MB pages.
    if (access == Access::AtRandom && size >= (qsizetype(64) << 20))
        Csv::adviseLargePages(into, size_t(size));
    const qsizetype middle = opened && size >= halvesFrom ? size / 2 : size;
    int first = 0;
    int second = 0;
    if (middle < size)
        runBothAtOnce([&] { first = readPart(fd, into, 0, middle, true, progress); },
                      [&] { second = readPart(fd, into, middle, size, true, progress); });
    else
        first = readPart(fd, into, 0, middle, false, progress);
    const int ended = first != 0 ? first : second;
    if (ended == kCancelled)
        return cancelledRead();
    if (ended == kShrank)
        return failedRead(name + QStringLiteral(": The file shrank while it was read"));
    if (ended != 0)
        return systemFailure(name, ended);
    return read;
}

// Anything but a regular file: its size says nothing, so it grows as it comes.
FileBytes readStream(int fd, const QString &name, Compare::Progress *progress)
{
    FileBytes read;
    QByteArray chunk(streamChunk, Qt::Uninitialized);
    for (;;) {
        if (cancelled(progress))
            return cancelledRead();
        const qsizetype got = readSome(fd, chunk.data(), chunk.size());
        if (got > 0) {
            read.bytes.append(chunk.constData(), got);
            if (progress)
                progress->add(got);
        } else if (got == 0) {
            return read;
        } else if (errno != EINTR) {
            return systemFailure(name, errno);
        }
    }
}

// `opened`: the file was opened here, so it is read from its start.
FileBytes readOpen(int fd, const QString &name, Streams streams, bool opened,
                   Compare::Progress *progress, Access access = Access::InOrder)
{
    FileStatus status{};
    if (fileStatus(fd, status) != 0)
        return systemFailure(name, errno);
    if (S_ISDIR(status.st_mode))
        return systemFailure(name, EISDIR);
    const bool regular = S_ISREG(status.st_mode);
    if (!regular && streams == Streams::Refused)
        return failedRead(name + QStringLiteral(": It is a pipe or a device, not a file"));
#ifndef Q_OS_WIN
    if (streams == Streams::Refused) // a regular file: reads wait for the disk as usual
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
#endif
    if (regular && quint64(status.st_size) > quint64(std::numeric_limits<qsizetype>::max() / 2))
        return failedRead(name + QStringLiteral(": Too large to read"), EFBIG);
    if (progress)
        progress->total = regular ? qint64(status.st_size) : 0;
    try {
        if (regular && status.st_size > 0)
            return readRegular(fd, name, qsizetype(status.st_size), opened, progress, access);
        return readStream(fd, name, progress);
    } catch (const std::bad_alloc &) {
        return failedRead(name + QStringLiteral(": Too large to read: out of memory"), ENOMEM);
    }
}

} // namespace

FileBytes readFileBytes(const QString &name, Streams streams, Compare::Progress *progress,
                        Access access)
{
    if (cancelled(progress))
        return cancelledRead();
    const int fd = openName(name, streams);
    if (fd < 0)
        return systemFailure(name, errno);
    FileBytes read = readOpen(fd, name, streams, true, progress, access);
    closeFile(fd);
    return read;
}

FileBytes readStandardInput(Compare::Progress *progress)
{
#ifdef Q_OS_WIN
    ::_setmode(0, _O_BINARY); // the bytes as they are, CR LF too
#endif
    return readOpen(0, QStringLiteral("standard input"), Streams::Read, false, progress);
}

} // namespace Files
