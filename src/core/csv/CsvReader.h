#pragma once

#include <string>
#include <vector>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include "csv/WorkControl.h"

namespace Csv {

struct ReadResult;

// The cells of one record, split on demand: views into the table's bytes,
// or into the row's own buffer for the few cells that had to be unquoted.
// Valid while the table lives and until the row is split again.
class Row
{
public:
    qsizetype size() const { return qsizetype(m_spans.size()); }
    // The cell's bytes, exactly as the file holds them; empty past the end.
    QByteArrayView operator[](qsizetype column) const
    {
        if (column < 0 || column >= size())
            return {};
        const Span &s = m_spans[size_t(column)];
        const qsizetype length = s.length & kLength;
        return (s.length & kUnquoted) ? QByteArrayView(m_unquoted.data() + s.start, length)
                                      : QByteArrayView(m_text + s.start, length);
    }
    // Whether the cell was written in quotes.
    bool quoted(qsizetype column) const { return m_spans[size_t(column)].length & kQuoted; }

private:
    friend struct RowSplitter;
    friend class Table;
    static constexpr qint64 kUnquoted = qint64(1) << 62; // the bytes live in m_unquoted
    static constexpr qint64 kQuoted = qint64(1) << 61;
    static constexpr qint64 kLength = kQuoted - 1;
    struct Span
    {
        qint64 start;
        qint64 length; // and the flags above
    };
    const char *m_text = nullptr;
    std::vector<Span> m_spans;
    std::string m_unquoted;
};

// The records of a CSV text held as UTF-8 bytes. Only where each record
// starts is kept (2 bytes a record from a base every 256 records, 4 in a
// block of records longer than 256 bytes on average), with the
// few records whose line or cell count does not follow from the one before;
// a record is split into cells when it is read, so a table costs little more
// than its text, whatever its shape.
class Table
{
public:
    qsizetype size() const { return qsizetype(m_offsets.size()); }
    qsizetype cellCount(qsizetype record) const;
    // The records whose cell count is not the first record's, in order.
    std::vector<qint32> otherWidths() const;
    // The physical line (1-based) on which the record starts.
    qsizetype line(qsizetype record) const;
    // Splits a record into `row`, reusing its memory; linear in the record's bytes.
    // With `cells`, only the first that many cells are split.
    void split(qsizetype record, Row &row, qsizetype cells = -1) const;
    Row row(qsizetype record) const
    {
        Row r;
        split(record, r);
        return r;
    }
    // Moves the table into large memory pages where the system can: for a
    // table whose rows will be read at random.
    void preferLargePages() const;
    // Where the record starts in bytes().
    qint64 recordStart(qsizetype record) const
    {
        const Block &block = m_blocks[size_t(record) >> kBlockBits];
        quint32 offset = m_offsets[size_t(record)];
        if (block.wide >= 0) {
            offset |= quint32(m_highOffsets[(size_t(block.wide) << kBlockBits)
                                            + (size_t(record) & kBlockMask)])
                      << 16;
            if (offset == kFar)
                return farStart(record);
        }
        return block.base + offset;
    }
    // The record's bytes as the file holds them, up to where the next record
    // starts (its line break and any blank lines after it included): two
    // records with the same such bytes have the same cells.
    QByteArrayView rawRecord(qsizetype record) const
    {
        const qint64 start = recordStart(record);
        const qint64 stop = record + 1 < size() ? recordStart(record + 1) : m_text.size();
        return QByteArrayView(m_text.constData() + start, stop - start);
    }
    // The same table over `sameBytes`, another copy of its bytes: for a table
    // read from bytes that someone else owns and is about to change.
    Table over(QByteArray sameBytes) const;
    // Only the records `records` (ascending), in a table of their own bytes,
    // read in one pass in file order: record i there is records[i] here, on
    // the same line with the same cells; the table's encoding, delimiter and
    // widest record stay this one's. For a few rows to read at random from a
    // table whose bytes would be read from disk.
    Table subset(const std::vector<qint32> &records) const;
    // The largest cell count of any record (0 for an empty table).
    qsizetype maxCellCount() const { return m_maxCellCount; }
    char delimiter() const { return m_delimiter; }
    // The text the cells are views of.
    QByteArrayView bytes() const { return m_text; }
    // How the file's bytes were read ("UTF-8", "UTF-16LE", "Windows-1252", …)
    // and, when they were not valid UTF-8, the line of the first invalid byte.
    QString encoding() const { return m_encoding; }
    qsizetype invalidLine() const { return m_invalidLine; }
    // Hints that a record will soon be split: first where it starts, then
    // (once that is in the cache) its text.
    void prefetchRecord(qsizetype record) const { __builtin_prefetch(&m_offsets[size_t(record)]); }
    void prefetchText(qsizetype record) const
    {
        const char *text = m_text.constData() + recordStart(record);
        __builtin_prefetch(text);
        __builtin_prefetch(text + 64);
    }

private:
    friend struct TableBuilder;
    friend ReadResult readCsv(QByteArray text, char delimiter, WorkControl *control);
    friend ReadResult readCsvFile(QByteArray fileBytes, char delimiter, WorkControl *control);
    void addRecord(qint64 record, qint64 start, qint64 line);
    static constexpr int kBlockBits = 8;
    static constexpr size_t kBlockMask = (size_t(1) << kBlockBits) - 1;
    // An offset too far from its block's base: the start is in m_farStarts.
    static constexpr quint32 kFar = 0xFFFFFFFF;
    qint64 farStart(qsizetype record) const;
    // From `record` on (until the next jump), line(r) is r + 1 + extra: the
    // blank lines and the line breaks inside quotes before it.
    struct LineJump
    {
        qint64 record;
        qint64 extra;
    };
    struct FarStart
    {
        qint64 record;
        qint64 start;
    };
    struct OtherWidth
    {
        qint64 record;
        qint64 cells;
    };
    // A block of 256 records: where it starts, and which block of high
    // halves its offsets have (-1: none, every offset fits in 16 bits).
    struct Block
    {
        qint64 base;
        qint32 wide;
    };
    QByteArray m_text;
    std::vector<quint16> m_offsets;     // from the start of the record's block, low half
    std::vector<quint16> m_highOffsets; // the high halves, 256 a wide block
    std::vector<Block> m_blocks;
    std::vector<FarStart> m_farStarts;
    std::vector<LineJump> m_lineJumps;
    qint64 m_firstCount = 0;
    std::vector<OtherWidth> m_otherWidths; // by record
    qsizetype m_maxCellCount = 0;
    char m_delimiter = ',';
    QString m_encoding = QStringLiteral("UTF-8");
    qsizetype m_invalidLine = 0;
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

// The delimiter among , ; tab | that gives the header's cell count (more
// than one) to most of the first hundred records after it; ',' when none does.
char detectDelimiter(QByteArrayView text);

// Reads RFC 4180 records from UTF-8 bytes: fields quoted with ", "" for a
// quote inside them, delimiters and line breaks (CR LF, LF or CR) inside
// quotes, kept as they are. Lines with nothing on them are skipped. A quoted
// field that never closes, a quote inside an unquoted field and text after a
// closing quote are errors that name the line. `delimiter` 0: detected. The
// table shares `text`.
// With `control`, the bytes read are counted into its phase (which the
// caller starts) and a cancel ends the read with WorkCancelled thrown.
// A text of kReadInPartsFrom bytes or more is read in two ranges at once.
ReadResult readCsv(QByteArray text, char delimiter = 0, WorkControl *control = nullptr);
inline constexpr qsizetype kReadInPartsFrom = qsizetype(4) << 20;

// A file's bytes as UTF-8 without changing a line break: UTF-8 (a BOM
// dropped), UTF-16 with a BOM, rich text as its plain text, UTF-8 with a few
// invalid bytes with only those read as Windows-1252, anything else as
// Windows-1252. `invalidLine`: the line of the first byte that is not UTF-8.
struct DecodedCsv
{
    QByteArray bytes;
    QString encoding;
    qsizetype invalidLine = 0;
};
DecodedCsv decodeCsvBytes(QByteArray fileBytes);

// decodeCsvBytes, then readCsv; the table knows its encoding.
ReadResult readCsvFile(QByteArray fileBytes, char delimiter = 0, WorkControl *control = nullptr);

// A column list as the command line takes it: CSV, so that a name holding a
// comma can be quoted. Each item says whether it was quoted.
struct ListItem
{
    QString text;
    bool quoted = false;
};
std::vector<ListItem> splitList(const QString &list);

} // namespace Csv
