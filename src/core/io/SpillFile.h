#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QTemporaryFile>

namespace Files {

// A temporary file for work that does not fit in memory, written at its end
// and read back by ranges. Where the system allows (not on Windows) its name
// is removed as soon as it is made, so that it is gone however the program
// ends, a crash or Ctrl+C included; elsewhere it is removed when closed.
// Throws AppError when it cannot be made, written or read, saying why ("No
// space left on device").
class SpillFile
{
public:
    explicit SpillFile(const QString &folder);
    SpillFile(const SpillFile &) = delete;
    SpillFile &operator=(const SpillFile &) = delete;

    void append(QByteArrayView bytes);
    qint64 size() const { return m_size; }
    // `length` bytes from `offset` into `to`.
    void read(qint64 offset, char *to, qint64 length);

private:
    // `error`: the system's reason, where it gives one.
    [[noreturn]] void fail(const QString &what, int error) const;

    QString m_folder;
    QTemporaryFile m_file;
    qint64 m_size = 0;
};

} // namespace Files
