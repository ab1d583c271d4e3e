#include "text/FileWriter.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_WIN
#include <io.h>
#endif

namespace Files {

namespace {

// How much one write call takes: small enough to stop soon when asked.
constexpr qsizetype kSlice = qsizetype(4) << 20;

// Raised inside the writers when `progress` asks them to stop.
struct Stopped
{};

QString failure(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), reason);
}

#ifdef Q_OS_WIN
// The C library's text for an errno value. (Qt's error string reads a number
// as Windows' own error code there: EISDIR would say "Not ready".)
QString errnoText(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}
#endif

#ifndef Q_OS_WIN
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
#endif

// Writes every byte or gives the reason. The file is opened unbuffered: a
// buffered write can fail at the final flush without the file noticing, and a
// short write, which sets no error, is retried so that the system gives its
// reason.
// `stoppable`: whether `progress` may stop the write.
std::optional<QString> writeAll(QFileDevice &file, const QString &path, const Pieces &pieces,
                                const WriteProgress &progress, bool stoppable)
{
    // A failed write leaves the pieces' walk through this.
    struct Failed
    {
        QString reason;
    };
    try {
        pieces([&](QByteArrayView bytes) {
            for (qsizetype done = 0; done < bytes.size();) {
                const qint64 written =
                    file.write(bytes.data() + done, std::min(bytes.size() - done, kSlice));
                if (written <= 0)
                    throw Failed{failure(path, file.errorString())};
                done += written;
                if (!progress(written) && stoppable)
                    throw Stopped();
            }
        });
    } catch (const Failed &failed) {
        return failed.reason;
    }
    return std::nullopt;
}

std::optional<QString> writeInPlace(const QString &path, const Pieces &pieces,
                                    const WriteProgress &progress)
{
    if (!progress(0))
        throw Stopped();
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return failure(path, file.errorString());
    // The old contents are gone: the write goes on whatever `progress` says.
    if (auto error = writeAll(file, path, pieces, progress, false))
        return error;
#ifdef Q_OS_WIN
    if (::_commit(file.handle()) != 0)
        return failure(path, errnoText(errno));
#else
    if (::fsync(file.handle()) != 0 && errno != EINVAL && errno != EROFS)
        return failure(path, qt_error_string(errno));
#endif
    file.close();
    if (file.error() != QFileDevice::NoError)
        return failure(path, file.errorString());
    return std::nullopt;
}

enum class Outcome { Written, Failed, NoTemporaryFile };

// The old file is replaced only once everything was written; a failure
// discards the new copy with `file`. `mode`: the permission bits to keep.
Outcome writeAtomically(const QString &path, const Pieces &pieces, std::optional<mode_t> mode,
                        const WriteProgress &progress, QString &error)
{
    if (!progress(0))
        throw Stopped();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        error = failure(path, file.errorString());
        return Outcome::NoTemporaryFile;
    }
    std::optional<QString> e;
    try {
        e = writeAll(file, path, pieces, progress, true);
        // The last moment to stop: the old file is replaced next.
        if (!e && !progress(0))
            throw Stopped();
    } catch (const Stopped &) {
        file.cancelWriting();
        throw;
    }
    if (e) {
        error = *e;
        file.cancelWriting();
        return Outcome::Failed;
    }
#ifndef Q_OS_WIN
    if (mode && ::fchmod(file.handle(), *mode & 07777) != 0) {
        error = failure(path, qt_error_string(errno));
        file.cancelWriting();
        return Outcome::Failed;
    }
#else
    Q_UNUSED(mode); // Windows keeps no permission bits to carry over
#endif
    if (!file.commit()) {
        error = failure(path, file.errorString());
        return Outcome::Failed;
    }
    return Outcome::Written;
}

#ifdef Q_OS_WIN
// Windows names files in UTF-16 (QFileInfo does too) and has no owners or
// links to keep: a file is replaced unless it is read-only.
std::optional<QString> writeFile(const QString &path, const Pieces &pieces,
                                 const WriteProgress &progress)
{
    const QFileInfo info(path);
    const bool exists = info.exists();
    if (exists && info.isDir())
        return failure(path, errnoText(EISDIR));
    if (exists && !info.isWritable())
        return failure(path, errnoText(EACCES));
    QString error;
    const Outcome outcome = writeAtomically(path, pieces, std::nullopt, progress, error);
    if (outcome == Outcome::Written)
        return std::nullopt;
    if (outcome == Outcome::NoTemporaryFile && exists)
        return writeInPlace(path, pieces, progress);
    return error;
}
#else
std::optional<QString> writeFile(const QString &path, const Pieces &pieces,
                                 const WriteProgress &progress)
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
            return writeInPlace(path, pieces, progress);
    }
    QString error;
    const Outcome outcome = writeAtomically(
        path, pieces, exists ? std::optional<mode_t>(st.st_mode) : std::nullopt, progress, error);
    if (outcome == Outcome::Written)
        return std::nullopt;
    // No temporary file beside a file we may write: write it in place.
    if (outcome == Outcome::NoTemporaryFile && exists)
        return writeInPlace(path, pieces, progress);
    return error;
}
#endif

} // namespace

std::optional<QString> specialFileKind(const QString &path)
{
#ifdef Q_OS_WIN
    Q_UNUSED(path); // Windows has no pipes or devices among files
    return std::nullopt;
#else
    struct stat st
    {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return kindOf(st.st_mode);
#endif
}

std::optional<QString> writeWholeFile(const QString &path, QByteArrayView bytes)
{
    const WriteResult result =
        writeWholeFile(path, std::span(&bytes, 1), [](qint64) { return true; });
    if (result.status == WriteResult::Status::Written)
        return std::nullopt;
    return result.error;
}

WriteResult writeWholeFile(const QString &path, std::span<const QByteArrayView> pieces,
                           const WriteProgress &progress)
{
    return writeWholeFile(
        path,
        [pieces](const std::function<void(QByteArrayView)> &write) {
            for (const QByteArrayView bytes : pieces)
                write(bytes);
        },
        progress);
}

WriteResult writeWholeFile(const QString &path, const Pieces &pieces, const WriteProgress &progress)
{
    try {
        if (const std::optional<QString> error = writeFile(path, pieces, progress))
            return {WriteResult::Status::Failed, *error};
        return {};
    } catch (const Stopped &) {
        return {WriteResult::Status::Stopped, {}};
    }
}

} // namespace Files
