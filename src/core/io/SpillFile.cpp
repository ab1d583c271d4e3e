#include "io/SpillFile.h"

#include <QDir>
#include <QFile>

#include "base/AppError.h"

#ifndef Q_OS_WIN
#include <cerrno>
#include <cstring>
#include <unistd.h>
#endif

namespace Files {

SpillFile::SpillFile(const QString &folder)
    : m_folder(folder), m_file(QDir(folder).filePath(QStringLiteral("corvantis-XXXXXX.part")))
{
    if (!m_file.open())
        throw AppError(QStringLiteral("Cannot make a temporary file in %1: %2")
                           .arg(QDir::toNativeSeparators(folder), m_file.errorString()));
#ifndef Q_OS_WIN
    // The open file lives on without its name, and goes with the process.
    // Linux makes it nameless from the start where the file system can
    // (asking its name would give it one).
    if (m_file.exists()) {
        ::unlink(QFile::encodeName(m_file.fileName()).constData());
        m_file.setAutoRemove(false);
    }
#endif
}

// The system's own write and read where it has them: QFile tells no reason
// for a write that fails in its buffer ("Unknown error" for a full disk).
#ifndef Q_OS_WIN
void SpillFile::append(QByteArrayView bytes)
{
    const char *from = bytes.data();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::pwrite(m_file.handle(), from, size_t(left), off_t(m_size));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            fail(QStringLiteral("write"), written < 0 ? errno : ENOSPC);
        from += written;
        left -= written;
        m_size += written;
    }
}

void SpillFile::read(qint64 offset, char *to, qint64 length)
{
    while (length > 0) {
        const ssize_t got = ::pread(m_file.handle(), to, size_t(length), off_t(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            fail(QStringLiteral("read"), got < 0 ? errno : EIO);
        to += got;
        offset += got;
        length -= got;
    }
}

void SpillFile::fail(const QString &what, int error) const
{
    throw AppError(QStringLiteral("Cannot %1 a temporary file in %2: %3")
                       .arg(what, QDir::toNativeSeparators(m_folder),
                            QString::fromLocal8Bit(std::strerror(error))));
}
#else
void SpillFile::append(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return;
    if (!m_file.seek(m_size) || m_file.write(bytes.data(), bytes.size()) != bytes.size()
        || !m_file.flush())
        fail(QStringLiteral("write"), 0);
    m_size += bytes.size();
}

void SpillFile::read(qint64 offset, char *to, qint64 length)
{
    if (!m_file.seek(offset) || m_file.read(to, length) != length)
        fail(QStringLiteral("read"), 0);
}

void SpillFile::fail(const QString &what, int) const
{
    throw AppError(QStringLiteral("Cannot %1 a temporary file in %2: %3")
                       .arg(what, QDir::toNativeSeparators(m_folder), m_file.errorString()));
}
#endif

} // namespace Files
