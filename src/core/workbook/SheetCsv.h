#pragma once

#include <vector>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace Workbook {

// A sheet's cells written as CSV bytes (UTF-8, RFC 4180: fields quoted when
// they hold a comma, a quote or a line break, records ending CR LF), as they
// come, row by row and left to right. Empty cells take no work until a value
// follows them; rows and columns after the last value are never written, and
// every record is padded to the sheet's width at the end. Beyond the largest
// sheet an office suite makes, or past `byteLimit` bytes of text, the sheet
// is refused rather than grown.
class SheetCsv
{
public:
    static constexpr qint64 kMaxRows = qint64(1) << 20;    // 1,048,576
    static constexpr qint64 kMaxColumns = qint64(1) << 14; // 16,384

    explicit SheetCsv(qint64 byteLimit) : m_byteLimit(byteLimit) {}

    // Puts a value at (row, column), both from 0, after every cell put
    // before; `value` is UTF-8. An empty value is no value. False (see
    // error()) when the cell lies beyond the limits or before an earlier one.
    bool put(qint64 row, qint64 column, QByteArrayView value);
    bool put(qint64 row, qint64 column, QStringView value)
    {
        const QByteArray utf8 = value.toUtf8();
        return put(row, column, QByteArrayView(utf8));
    }
    // The last row written, `times` more times (a repeated row of a sheet
    // that holds values). The row must be the last one put.
    bool repeatRow(qint64 row, qint64 times);

    // The records, padded to the widest; the builder is empty after.
    QByteArray finish();
    // Room for the text of a sheet read from `partSize` bytes of markup,
    // taken at once: growing the text step by step copies it or faults its
    // pages in again and again, while room never written costs no memory.
    void reserveFor(qint64 partSize);
    // Forgets every cell put, to be read again.
    void restart() { *this = SheetCsv(m_byteLimit); }
    const QString &error() const { return m_error; }

private:
    bool startRow(qint64 row);
    void endRow();
    bool fail(const QString &error);
    bool checkSize();
    void appendValue(QByteArrayView value);

    qint64 m_byteLimit;
    QByteArray m_out;
    // Per record written: where it ends (before its CR LF) and how many
    // fields it holds (0 for an empty record).
    std::vector<qint64> m_ends;
    std::vector<qint32> m_fields;
    qint64 m_row = -1; // the record being written, or -1
    qint64 m_rowStart = 0;
    qint64 m_cells = 0; // fields in the record being written
    qint64 m_width = 0;
    QString m_error;
};

} // namespace Workbook
