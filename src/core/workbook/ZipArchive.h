#pragma once

#include <cstdint>
#include <memory>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include "engine/Progress.h"

struct zip;
struct zip_file;

namespace Workbook {

// A zip archive held in memory (the bytes stay the caller's), read entry by
// entry as a stream, with limits that refuse a zip bomb before it costs time
// or memory: an entry may not claim more than kMaxEntrySize, nor expand more
// than kMaxRatio times its compressed size; an encrypted entry is refused.
class ZipArchive
{
public:
    static constexpr qint64 kMaxEntrySize = qint64(2) << 30;
    static constexpr qint64 kMaxRatio = 200;
    // Entries smaller than this may expand further (a few kilobytes of
    // repeated markup can pack tightly without being a bomb).
    static constexpr qint64 kRatioFloor = qint64(1) << 20;

    explicit ZipArchive(QByteArrayView bytes);
    ~ZipArchive();
    ZipArchive(const ZipArchive &) = delete;
    ZipArchive &operator=(const ZipArchive &) = delete;

    // Why the archive cannot be read, or empty when it opened.
    const QString &error() const { return m_error; }

    // The index of the entry named `name`, or -1.
    qint64 find(const QString &name) const;

    // One entry, read as a stream.
    class Entry
    {
    public:
        // Up to `capacity` bytes into `into`; 0 at the end, -1 on an error
        // (see error()). The entry's size is checked against its claim as
        // it is read: an entry that expands past it is an error.
        qint64 read(char *into, qint64 capacity);
        const QString &error() const { return m_error; }
        qint64 size() const { return m_size; }

        Entry(Entry &&other) noexcept;
        Entry &operator=(Entry &&other) noexcept;
        ~Entry();

    private:
        friend class ZipArchive;
        Entry() = default;
        zip_file *m_file = nullptr;
        qint64 m_size = 0;
        qint64 m_read = 0;
        QString m_error;
    };

    // Opens the entry at `index`; the entry's error() says why it cannot be read.
    Entry open(qint64 index) const;

    // The whole entry (small entries only: the caller bounds `limit`).
    QByteArray readAll(qint64 index, qint64 limit, QString &error) const;

private:
    zip *m_zip = nullptr;
    QString m_error;
};

} // namespace Workbook
