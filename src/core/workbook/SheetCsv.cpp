#include "workbook/SheetCsv.h"

#include <algorithm>
#include <cstring>

namespace Workbook {

namespace {

bool needsQuotes(QByteArrayView value)
{
    for (const char c : value)
        if (c == ',' || c == '"' || c == '\n' || c == '\r')
            return true;
    return false;
}

} // namespace

bool SheetCsv::fail(const QString &error)
{
    if (m_error.isEmpty())
        m_error = error;
    return false;
}

bool SheetCsv::checkSize()
{
    if (m_out.size() <= m_byteLimit)
        return true;
    return fail(QStringLiteral("the sheet is refused: its text would pass %1 MB, far more "
                               "than such a file holds (a repeat or zip bomb?)")
                    .arg(m_byteLimit >> 20));
}

void SheetCsv::endRow()
{
    if (m_row < 0)
        return;
    m_ends.push_back(m_out.size());
    m_fields.push_back(qint32(m_cells));
    m_width = std::max(m_width, m_cells);
    m_out += "\r\n";
}

void SheetCsv::reserveFor(qint64 partSize)
{
    // A cell's markup is several times its text; a quarter is room enough
    // for the text of a sheet made by an office suite.
    m_out.reserve(qsizetype(std::min(partSize / 4, m_byteLimit)));
}

bool SheetCsv::startRow(qint64 row)
{
    if (row >= kMaxRows)
        return fail(
            QStringLiteral("the sheet is refused: it claims more than %1 rows").arg(kMaxRows));
    if (row < m_row)
        return fail(QStringLiteral("the workbook is damaged: its rows are out of order"));
    if (row == m_row)
        return true;
    endRow();
    // Empty records for the rows between.
    for (qint64 r = m_row + 1; r < row; ++r) {
        m_ends.push_back(m_out.size());
        m_fields.push_back(0);
        m_out += "\r\n";
        if (!checkSize())
            return false;
    }
    m_row = row;
    m_rowStart = m_out.size();
    m_cells = 0;
    return true;
}

void SheetCsv::appendValue(QByteArrayView value)
{
    if (!needsQuotes(value)) {
        m_out.append(value.data(), value.size());
        return;
    }
    m_out += '"';
    for (qsizetype from = 0;;) {
        const qsizetype quote = value.indexOf('"', from);
        const qsizetype end = quote < 0 ? value.size() : quote + 1;
        m_out.append(value.data() + from, end - from);
        if (quote < 0)
            break;
        m_out += '"';
        from = end;
    }
    m_out += '"';
}

bool SheetCsv::put(qint64 row, qint64 column, QByteArrayView value)
{
    if (value.isEmpty())
        return true;
    if (column >= kMaxColumns)
        return fail(QStringLiteral("the sheet is refused: it claims more than %1 columns")
                        .arg(kMaxColumns));
    if (!startRow(row))
        return false;
    if (column < m_cells)
        return fail(QStringLiteral("the workbook is damaged: its cells are out of order"));
    const qint64 separators = m_cells == 0 ? column : column - m_cells + 1;
    m_out.append(separators, ',');
    appendValue(value);
    m_cells = column + 1;
    return checkSize();
}

bool SheetCsv::repeatRow(qint64 row, qint64 times)
{
    if (times <= 0 || row != m_row)
        return true;
    if (row + times >= kMaxRows)
        return fail(
            QStringLiteral("the sheet is refused: it claims more than %1 rows").arg(kMaxRows));
    const QByteArray record = m_out.sliced(m_rowStart);
    const qint64 cells = m_cells;
    for (qint64 i = 0; i < times; ++i) {
        endRow();
        m_row = row + i + 1;
        m_rowStart = m_out.size();
        m_out += record;
        m_cells = cells;
        if (!checkSize())
            return false;
    }
    return true;
}

QByteArray SheetCsv::finish()
{
    endRow();
    m_row = -1;
    // Short records take the commas of the empty cells they end with. The
    // text grows in place, from its last record back, so that a sheet's
    // text is never held twice.
    qint64 grown = 0;
    for (const qint32 fields : m_fields)
        grown += std::max<qint64>(0, fields == 0 ? m_width - 1 : m_width - fields);
    if (grown > 0) {
        const qint64 size = m_out.size();
        m_out.resize(size + grown);
        char *text = m_out.data();
        qint64 to = size + grown;
        qint64 from = size;
        for (size_t i = m_ends.size(); i-- > 0;) {
            const qint64 start = i == 0 ? 0 : m_ends[i - 1] + 2;
            const qint64 fields = m_fields[i];
            const qint64 commas = std::max<qint64>(0, fields == 0 ? m_width - 1 : m_width - fields);
            to -= 2; // CR LF
            std::memmove(text + to, text + from - 2, 2);
            to -= commas;
            std::memset(text + to, ',', size_t(commas));
            const qint64 length = m_ends[i] - start;
            to -= length;
            std::memmove(text + to, text + start, size_t(length));
            from = start;
        }
    }
    QByteArray out = std::move(m_out);
    m_out = QByteArray();
    m_ends.clear();
    m_fields.clear();
    return out;
}

} // namespace Workbook
