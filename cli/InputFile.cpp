#include "InputFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

#include "ArgumentText.h"

namespace Cli {

namespace {

constexpr qsizetype chunkSize = 64 * 1024;

// Why `name` could not be opened or read, for the error number of the failure.
QString failure(const QString &name, int error)
{
    switch (error) {
    case ENOENT:
        return QStringLiteral("File not found: %1").arg(name);
    case EISDIR:
        return QStringLiteral("Cannot read %1: it is a folder, not a file").arg(name);
    case EACCES:
    case EPERM:
        return QStringLiteral("Cannot read %1: permission denied").arg(name);
    case ENOTDIR:
        return QStringLiteral("Cannot read %1: a part of its path is a file, not a folder")
            .arg(name);
    default:
        return QStringLiteral("Cannot read %1: %2")
            .arg(name, QString::fromLocal8Bit(std::strerror(error)));
    }
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
            input.bytes.reserve(qsizetype(status.st_size));
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
        input.error = QStringLiteral("Out of memory: %1 is too large to read").arg(name);
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

QString errorLine(const QString &message)
{
    return QStringLiteral("corvantis-cli: ") + message;
}

} // namespace Cli
