#include "text/FileWriter.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace Files {

namespace {

QString failure(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), reason);
}

std::optional<QString> kindOf(mode_t mode)
{
    if (S_ISFIFO(mode))
        return QStringLiteral("a named pipe");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    if (S_ISREG(mode) || S_ISDIR(mode))
        return std::nullopt;
    return QStringLiteral("a special file");
}

// Writes every byte or gives the reason. The file is opened unbuffered: a
// buffered write can fail at the final flush without the file noticing, and a
// short write, which sets no error, is retried so that the system gives its
// reason.
std::optional<QString> writeAll(QFileDevice &file, const QString &path, QByteArrayView bytes)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const qint64 written = file.write(bytes.data() + done, bytes.size() - done);
        if (written <= 0)
            return failure(path, file.errorString());
        done += written;
    }
    return std::nullopt;
}

std::optional<QString> writeInPlace(const QString &path, QByteArrayView bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return failure(path, file.errorString());
    if (auto error = writeAll(file, path, bytes))
        return error;
    if (::fsync(file.handle()) != 0 && errno != EINVAL && errno != EROFS)
        return failure(path, qt_error_string(errno));
    file.close();
    if (file.error() != QFileDevice::NoError)
        return failure(path, file.errorString());
    return std::nullopt;
}

enum class Outcome { Written, Failed, NoTemporaryFile };

// The old file is replaced only once everything was written; a failure
// discards the new copy with `file`. `mode`: the permission bits to keep.
Outcome writeAtomically(const QString &path, QByteArrayView bytes, std::optional<mode_t> mode,
                        QString &error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        error = failure(path, file.errorString());
        return Outcome::NoTemporaryFile;
    }
    if (auto e = writeAll(file, path, bytes)) {
        error = *e;
        file.cancelWriting();
        return Outcome::Failed;
    }
    if (mode && ::fchmod(file.handle(), *mode & 07777) != 0) {
        error = failure(path, qt_error_string(errno));
        file.cancelWriting();
        return Outcome::Failed;
    }
    if (!file.commit()) {
        error = failure(path, file.errorString());
        return Outcome::Failed;
    }
    return Outcome::Written;
}

} // namespace

std::optional<QString> specialFileKind(const QString &path)
{
    struct stat st
    {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return kindOf(st.st_mode);
}

std::optional<QString> writeWholeFile(const QString &path, QByteArrayView bytes)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st
    {};
    const bool exists = ::stat(name.constData(), &st) == 0;
    if (exists) {
        if (S_ISDIR(st.st_mode))
            return failure(path, qt_error_string(EISDIR));
        if (const auto kind = kindOf(st.st_mode))
            return failure(path, QStringLiteral("it is %1, not a regular file").arg(*kind));
        // The real reason a file cannot be written, before a temporary file's
        // reason (a read-only folder, a file system without new files) hides it.
        if (::access(name.constData(), W_OK) != 0)
            return failure(path, qt_error_string(errno));
        if (st.st_nlink > 1 || st.st_uid != ::geteuid() || st.st_gid != ::getegid())
            return writeInPlace(path, bytes);
    }
    QString error;
    const Outcome outcome = writeAtomically(
        path, bytes, exists ? std::optional<mode_t>(st.st_mode) : std::nullopt, error);
    if (outcome == Outcome::Written)
        return std::nullopt;
    // No temporary file beside a file we may write: write it in place.
    if (outcome == Outcome::NoTemporaryFile && exists)
        return writeInPlace(path, bytes);
    return error;
}

} // namespace Files
