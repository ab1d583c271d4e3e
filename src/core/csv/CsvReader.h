#pragma once

#include <cstdint>
#include <vector>

#include <QString>
#include <QStringView>

namespace Csv {

struct ReadResult;

// The records of a CSV text. Cells are views into the text itself, or into a
// side buffer for the few cells that had to be unquoted, so a million-row
// table costs eight bytes a cell on top of its text.
class Table
{
public:
    qsizetype size() const { return qsizetype(m_records.size()); }
    qsizetype cellCount(qsizetype record) const { return m_records[size_t(record)].cellCount; }
    // The physical line (1-based) on which the record starts.
    qsizetype line(qsizetype record) const { return m_records[size_t(record)].line; }
    // The cell's text; an empty view past the record's last cell.
    QStringView cell(qsizetype record, qsizetype column) const
    {
        const Record &r = m_records[size_t(record)];
        if (column < 0 || column >= qsizetype(r.cellCount))
            return {};
        const Cell &c = m_cells[size_t(r.firstCell) + size_t(column)];
        if (c.length & kUnquotedBit)
            return QStringView(m_unquoted).sliced(c.start, c.length & ~kUnquotedBit);
        return QStringView(m_text).sliced(c.start, c.length);
    }
    // Hints that a record will soon be read, in three steps each of which
    // reads what the one before fetched: its entry, its cells, its text.
    void prefetch(qsizetype record, int step) const
    {
        const Record &r = m_records[size_t(record)];
        if (step == 0) {
            __builtin_prefetch(&r);
            return;
        }
        if (r.cellCount == 0)
            return;
        const Cell *cells = &m_cells[size_t(r.firstCell)];
        if (step == 1) {
            __builtin_prefetch(cells);
            __builtin_prefetch(cells + r.cellCount - 1);
            return;
        }
        const QChar *text = m_text.constData() + cells->start;
        for (int line = 0; line < 4; ++line) // a row of up to 128 characters
            __builtin_prefetch(text + line * 32);
    }
    // Moves the table into large memory pages where the system can: for a
    // table whose rows will be read at random. Slow enough (a copy) that two
    // threads should not both do it while they allocate.
    void preferLargePages() const;
    // The largest cell count of any record (0 for an empty table).
    qsizetype maxCellCount() const { return m_maxCellCount; }
    QChar delimiter() const { return m_delimiter; }

private:
    friend struct Reader;
    friend ReadResult readCsv(const QString &text, QChar delimiter);

    static constexpr quint32 kUnquotedBit = 0x80000000u;
    struct Cell
    {
        quint32 start;
        quint32 length; // top bit: the cell lives in m_unquoted
    };
    struct Record
    {
        quint32 firstCell;
        quint32 cellCount;
        qsizetype line;
    };

    QString m_text;
    QString m_unquoted;
    std::vector<Cell> m_cells;
    std::vector<Record> m_records;
    qsizetype m_maxCellCount = 0;
    QChar m_delimiter = u',';
};

// Why a text could not be read; line is where the faulty record starts.
struct ReadError
{
    qsizetype line = 0;
    QString message;
};

struct ReadResult
{
    Table table;
    ReadError error; // message empty: read
    bool ok() const { return error.message.isEmpty(); }
};

// The delimiter among , ; tab | that splits the first lines of `text` most
// consistently (quoted text left out); ',' when none of them occurs.
QChar detectDelimiter(QStringView text);

// Reads RFC 4180 records: fields quoted with ", "" for a quote inside them,
// delimiters and line breaks (CR LF, LF or CR) inside quotes. Lenient where
// the meaning is plain: a quote inside an unquoted field is a character, and
// text after a closing quote is added to the field. Lines with nothing on
// them are skipped. A quoted field that never closes is an error.
// `delimiter` null: detected. The table keeps a (shared) copy of `text`.
ReadResult readCsv(const QString &text, QChar delimiter = QChar());

} // namespace Csv
