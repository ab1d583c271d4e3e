#include "workbook/ZipArchive.h"

#include <zip.h>

namespace Workbook {

namespace {

QString zipError(zip_error_t *error)
{
    return QString::fromLocal8Bit(zip_error_strerror(error));
}

} // namespace

ZipArchive::ZipArchive(QByteArrayView bytes)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *source =
        zip_source_buffer_create(bytes.data(), zip_uint64_t(bytes.size()), 0, &error);
    if (source)
        m_zip = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!m_zip) {
        if (source)
            zip_source_free(source);
        m_error = QStringLiteral("the workbook is damaged or truncated (%1)").arg(zipError(&error));
    }
    zip_error_fini(&error);
}

ZipArchive::~ZipArchive()
{
    if (m_zip)
        zip_discard(m_zip);
}

qint64 ZipArchive::find(const QString &name) const
{
    if (!m_zip)
        return -1;
    return zip_name_locate(m_zip, name.toUtf8().constData(), 0);
}

ZipArchive::Entry ZipArchive::open(qint64 index) const
{
    Entry entry;
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (!m_zip || index < 0 || zip_stat_index(m_zip, zip_uint64_t(index), 0, &stat) != 0) {
        entry.m_error = QStringLiteral("the workbook is damaged (a part cannot be found)");
        return entry;
    }
    if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE) {
        entry.m_error = QStringLiteral("password-protected workbooks are not supported");
        return entry;
    }
    const qint64 size = qint64(stat.size);
    const qint64 packed = qint64(stat.comp_size);
    if (size < 0 || size > kMaxEntrySize
        || (size > kRatioFloor && size / std::max<qint64>(packed, 1) > kMaxRatio)) {
        entry.m_error =
            QStringLiteral("the workbook is refused: a part of it would expand to %1 bytes from "
                           "%2 (a zip bomb?)")
                .arg(size)
                .arg(packed);
        return entry;
    }
    entry.m_file = zip_fopen_index(m_zip, zip_uint64_t(index), 0);
    if (!entry.m_file) {
        entry.m_error =
            QStringLiteral("the workbook is damaged (%1)").arg(zipError(zip_get_error(m_zip)));
        return entry;
    }
    entry.m_size = size;
    return entry;
}

QByteArray ZipArchive::readAll(qint64 index, qint64 limit, QString &error) const
{
    Entry entry = open(index);
    if (!entry.error().isEmpty()) {
        error = entry.error();
        return QByteArray();
    }
    if (entry.size() > limit) {
        error = QStringLiteral("the workbook is refused: a part of it is too large (%1 bytes)")
                    .arg(entry.size());
        return QByteArray();
    }
    QByteArray bytes(entry.size(), Qt::Uninitialized);
    qint64 done = 0;
    for (;;) {
        const qint64 got = entry.read(bytes.data() + done, bytes.size() - done);
        if (got < 0) {
            error = entry.error();
            return QByteArray();
        }
        if (got == 0)
            break;
        done += got;
    }
    bytes.truncate(done);
    return bytes;
}

ZipArchive::Entry::Entry(Entry &&other) noexcept
    : m_file(std::exchange(other.m_file, nullptr)), m_size(other.m_size), m_read(other.m_read),
      m_error(std::move(other.m_error))
{
}

ZipArchive::Entry &ZipArchive::Entry::operator=(Entry &&other) noexcept
{
    if (this != &other) {
        if (m_file)
            zip_fclose(m_file);
        m_file = std::exchange(other.m_file, nullptr);
        m_size = other.m_size;
        m_read = other.m_read;
        m_error = std::move(other.m_error);
    }
    return *this;
}

ZipArchive::Entry::~Entry()
{
    if (m_file)
        zip_fclose(m_file);
}

qint64 ZipArchive::Entry::read(char *into, qint64 capacity)
{
    if (!m_file)
        return -1;
    // One byte beyond the claim is asked for, so that an entry that expands
    // further is caught here rather than believed.
    const qint64 room = std::min(capacity, m_size - m_read + 1);
    if (room <= 0)
        return 0;
    const zip_int64_t got = zip_fread(m_file, into, zip_uint64_t(room));
    if (got < 0) {
        m_error = QStringLiteral("the workbook is damaged (%1)")
                      .arg(zipError(zip_file_get_error(m_file)));
        return -1;
    }
    m_read += got;
    if (m_read > m_size) {
        m_error = QStringLiteral("the workbook is refused: a part of it expands beyond its "
                                 "stated size");
        return -1;
    }
    return got;
}

} // namespace Workbook
