#include "csv/RowsReport.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <string>
#include <unordered_map>

#include "base/BothAtOnce.h"
#include "csv/HtmlReport.h"
#include "csv/ReportFacts.h"
#include "csv/ReportStream.h"
#include "csv/RowComparison.h"
#include "csv/XlsxReport.h"
#include "text/Escapes.h"
#include "text/Utf8.h"

namespace Csv {

namespace {

using Out = ReportStream;

} // namespace

bool invisibleCharacter(char32_t c)
{
    return (c >= 0x80 && c <= 0xA0) || c == 0xAD || c == 0x34F || c == 0x61C
           || (c >= 0x115F && c <= 0x1160) || (c >= 0x17B4 && c <= 0x17B5) || c == 0x180E
           || (c >= 0x2000 && c <= 0x200F) || (c >= 0x2028 && c <= 0x202F)
           || (c >= 0x205F && c <= 0x206F) || c == 0x3000 || c == 0x3164
           || (c >= 0xFE00 && c <= 0xFE0F) || c == 0xFEFF || c == 0xFFA0
           || (c >= 0xFFF9 && c <= 0xFFFB) || (c >= 0xE0000 && c <= 0xE0FFF);
}

namespace {

// How a quote inside an escaped value is written: as it is, "\"" or """".
enum class Quote { AsIs, Backslash, Doubled };

// Hands `value` to put() as the text report prints it (see escapedForText),
// in pieces of some kilobytes: linear in the value's size, with no allocation
// however many characters need escaping.
template <typename Put>
void escapeEach(QByteArrayView value, bool everyNonAscii, Quote quote, Put &&put)
{
    char buffer[16384];
    size_t used = 0;
    const auto keep = [&](const char *data, size_t size) {
        if (size == 0) // an empty cell's view may hold no address at all
            return;
        if (used + size > sizeof buffer) {
            put(QByteArrayView(buffer, qsizetype(used)));
            used = 0;
        }
        if (size > sizeof buffer) {
            put(QByteArrayView(data, qsizetype(size)));
            return;
        }
        std::memcpy(buffer + used, data, size);
        used += size;
    };
    const auto *p = reinterpret_cast<const unsigned char *>(value.data());
    const auto *end = p + value.size();
    const auto *run = p; // start of the plain bytes not yet kept
    char escape[16];
    while (p < end) {
        const unsigned char b = *p;
        if (b >= 0x20 && b < 0x7F && b != '\\' && (b != '"' || quote == Quote::AsIs)) {
            ++p;
            continue;
        }
        int size = 2;
        int length = 1;
        if (b == '"') {
            escape[0] = quote == Quote::Backslash ? '\\' : '"';
            escape[1] = '"';
        } else if (b == '\\' || b == '\n' || b == '\r' || b == '\t') {
            escape[0] = '\\';
            escape[1] = b == '\\' ? '\\' : b == '\n' ? 'n' : b == '\r' ? 'r' : 't';
        } else {
            char32_t c = 0;
            length = b < 0x80 ? 0 : Files::decodeUtf8Sequence(p, end, c);
            if (length == 0) { // a control character, or a byte that is not UTF-8
                size = Escapes::hexEscape(escape, "\\x", b, 2);
                length = 1;
            } else if (everyNonAscii || invisibleCharacter(c)) {
                size =
                    Escapes::hexEscape(escape, c > 0xFFFF ? "\\U" : "\\u", c, c > 0xFFFF ? 8 : 4);
            } else { // a letter past ASCII prints as it is
                p += length;
                continue;
            }
        }
        keep(reinterpret_cast<const char *>(run), size_t(p - run));
        keep(escape, size_t(size));
        p += length;
        run = p;
    }
    keep(reinterpret_cast<const char *>(run), size_t(p - run));
    if (used > 0)
        put(QByteArrayView(buffer, qsizetype(used)));
}

// A name given on the command line: its stray bytes were kept as unpaired
// surrogates U+DC80..U+DCFF.
QByteArray nameBytes(const QString &name)
{
    QByteArray out;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t u = name[i].unicode();
        if (u >= 0xDC80 && u <= 0xDCFF && !(i > 0 && name[i - 1].isHighSurrogate())) {
            char escape[8];
            out += QByteArrayView(escape, Escapes::hexEscape(escape, "\\x", u - 0xDC00, 2));
            continue;
        }
        const qsizetype length = (name[i].isHighSurrogate() && i + 1 < name.size()) ? 2 : 1;
        out += escapedForText(QStringView(name).sliced(i, length).toUtf8());
        i += length - 1;
    }
    return out;
}

// Printable ASCII without a backslash: prints as it is.
bool printsAsIs(QByteArrayView value)
{
    for (const char c : value) {
        if (c < 0x20 || c >= 0x7F || c == '\\')
            return false;
    }
    return true;
}

bool asciiOnly(QByteArrayView value)
{
    return std::all_of(value.begin(), value.end(), [](char c) { return uchar(c) < 0x80; });
}

// Cells longer than this are not normalised to see whether they look like
// another: their characters past ASCII are spelled out instead, which tells
// any two apart in time linear in their size (see normalisable).
constexpr qsizetype kNormalisedAtMost = 1 << 20;

// Whether the text can be normalised in time linear in its size: too long,
// or a run of more than 30 combining marks (which normalising sorts, in time
// that grows with the square of the run), and it is spelled out instead.
bool normalisable(QByteArrayView value)
{
    if (value.size() > kNormalisedAtMost)
        return false;
    const auto *p = reinterpret_cast<const unsigned char *>(value.data());
    const auto *end = p + value.size();
    int marks = 0;
    while (p < end) {
        char32_t c = *p;
        const int length = *p < 0x80 ? 1 : Files::decodeUtf8Sequence(p, end, c);
        marks = length > 1 && QChar::combiningClass(c) != 0 ? marks + 1 : 0;
        if (marks > 30)
            return false;
        p += std::max(length, 1);
    }
    return true;
}

// Does the text show the same as another that is not equal? Escaping tells
// apart any two different byte strings, so only Unicode look-alikes can.
bool looksAlike(QByteArrayView a, QByteArrayView b)
{
    if (a == b || (printsAsIs(a) && printsAsIs(b)) || (asciiOnly(a) && asciiOnly(b)))
        return false;
    if (!normalisable(a) || !normalisable(b))
        return true;
    return QString::fromUtf8(a).normalized(QString::NormalizationForm_KC)
           == QString::fromUtf8(b).normalized(QString::NormalizationForm_KC);
}

// Whether a cell must print with its characters past ASCII spelled out so
// that it cannot pass for its composed form: "e" and U+0301 would show as the
// U+00E9 of a row of the other file. Characters below U+0300 (no byte from
// 0xCC up) are composed already.
bool notComposed(QByteArrayView cell)
{
    if (std::all_of(cell.begin(), cell.end(), [](char c) { return uchar(c) < 0xCC; }))
        return false;
    if (!normalisable(cell))
        return true;
    const QString text = QString::fromUtf8(cell);
    return text.normalized(QString::NormalizationForm_C) != text;
}

void escaped(Out &out, QByteArrayView value, bool everyNonAscii, Quote quote)
{
    escapeEach(value, everyNonAscii, quote, [&out](QByteArrayView piece) { out << piece; });
}

// Whether a cell holds a comma, quote or line break: one pass, where four
// searches cost more than the short cells of most rows.
bool needsQuotes(QByteArrayView cell)
{
    return std::any_of(cell.begin(), cell.end(),
                       [](char c) { return c == ',' || c == '"' || c == '\r' || c == '\n'; });
}

// A cell as a CSV field: quoted when it holds a comma, quote or line break.
void csvField(Out &out, QByteArrayView cell)
{
    if (!needsQuotes(cell)) {
        out << cell;
        return;
    }
    out << '"';
    qsizetype from = 0;
    for (qsizetype q = cell.indexOf('"'); q >= 0; q = cell.indexOf('"', q + 1)) {
        out << cell.sliced(from, q + 1 - from) << '"';
        from = q + 1;
    }
    out << cell.sliced(from) << '"';
}

struct Context
{
    const RowComparison &c;
    const ReportOptions &options;
    QByteArray name1; // as the text report prints them
    QByteArray name2;
    std::vector<qsizetype> order; // the columns as a reader sees them (displayOrder)
    std::vector<qint32> rank;     // each mapping column's place in `order`

    Context(const RowComparison &comparison, const ReportOptions &reportOptions)
        : c(comparison), options(reportOptions), name1(nameBytes(reportOptions.name1)),
          name2(nameBytes(reportOptions.name2)), order(displayOrder(comparison)),
          rank(comparison.mapping.columns.size(), 0)
    {
        for (size_t i = 0; i < order.size(); ++i)
            rank[size_t(order[i])] = qint32(i);
    }
    // The changed columns of a row in the reader's order.
    const std::vector<qint32> &changes(const ChangedRow &row, std::vector<qint32> &scratch) const
    {
        const std::span<const qint32> columns = c.changedColumns(row);
        scratch.assign(columns.begin(), columns.end());
        std::sort(scratch.begin(), scratch.end(),
                  [this](qint32 a, qint32 b) { return rank[size_t(a)] < rank[size_t(b)]; });
        return scratch;
    }
};

// "lines 2, 5, 9", written as it goes: a key of ten million rows is not
// gathered into one string first.
void writeLines(Out &out, const Table &table, const RecordList &records)
{
    out << (records.size() == 1 ? "line " : "lines ");
    const char *separator = "";
    for (const qint32 r : records) {
        out << separator;
        out.number(table.line(r));
        separator = ", ";
    }
}

// "id=7, region=north" from a split row of the file it belongs to.
QByteArray keyText(const RowComparison &c, const Row &row, bool file1)
{
    QByteArray out;
    for (size_t k = 0; k < c.keyColumns.size(); ++k) {
        const Column &column = c.mapping.columns[size_t(c.keyColumns[k])];
        if (k > 0)
            out += ", ";
        out += escapedForText(c.mapping.label(c.keyColumns[k]).toUtf8()) + '=';
        out += escapedForText(row[file1 ? column.index1 : column.index2]);
    }
    return out;
}

// A row as one CSV line, escaped so that it stays one line.
void rowLine(Out &out, const Row &row)
{
    for (qsizetype i = 0; i < row.size(); ++i) {
        if (i > 0)
            out << ',';
        const QByteArrayView cell = row[i];
        const bool quote = needsQuotes(cell);
        if (!quote && printsAsIs(cell)) {
            out << cell;
            continue;
        }
        if (quote)
            out << '"';
        escaped(out, cell, notComposed(cell), quote ? Quote::Doubled : Quote::AsIs);
        if (quote)
            out << '"';
    }
}

void quotedValue(Out &out, QByteArrayView value, bool everyNonAscii)
{
    if (printsAsIs(value) && !value.contains('"')) {
        out << '"' << value << '"';
        return;
    }
    out << '"';
    escaped(out, value, everyNonAscii, Quote::Backslash);
    out << '"';
}

void textColumns(Out &out, const Context &x)
{
    const RowComparison &c = x.c;
    for (size_t i = 0; i < c.mapping.columns.size(); ++i) {
        const Column &column = c.mapping.columns[i];
        if (column.inBoth())
            continue;
        out << "Column ";
        quotedValue(out, c.mapping.label(qsizetype(i)).toUtf8(), false);
        out << " only in " << (column.index1 >= 0 ? x.name1 : x.name2) << '\n';
    }
    if (c.mapping.reordered)
        out << "Columns in another order in " << x.name2 << '\n';
}

void textDuplicates(Out &out, const Context &x)
{
    const RowComparison &c = x.c;
    Row row;
    for (const DuplicateKey &d : c.duplicateKeys) {
        if (!out.finding())
            return;
        const bool in1 = !d.records1.empty();
        (in1 ? *c.table1 : *c.table2).split(in1 ? d.records1.front() : d.records2.front(), row);
        out << "Duplicate key " << keyText(c, row, in1) << ": ";
        if (in1) {
            writeLines(out, *c.table1, d.records1);
            out << " of " << x.name1;
        }
        if (in1 && !d.records2.empty())
            out << "; ";
        if (!d.records2.empty()) {
            writeLines(out, *c.table2, d.records2);
            out << " of " << x.name2;
        }
        out << '\n';
    }
}

void textRagged(Out &out, const Table &table, const std::vector<qint32> &rows, qsizetype width,
                const QByteArray &name)
{
    for (const qint32 r : rows) {
        if (!out.finding())
            return;
        out << "Ragged row: line ";
        out.number(table.line(r)) << " of " << name << " has ";
        out.number(table.cellCount(r)) << " cells, not ";
        out.number(width) << '\n';
    }
}

void textChanged(Out &out, const Context &x, const ChangedRow &changed, Row &row1, Row &row2,
                 std::vector<qint32> &scratch)
{
    const RowComparison &c = x.c;
    c.table1->split(changed.record1, row1);
    c.table2->split(changed.record2, row2);
    out << "~ line ";
    out.number(c.table1->line(changed.record1)) << " → ";
    out.number(c.table2->line(changed.record2)) << ", " << keyText(c, row2, false) << ": ";
    bool firstCell = true;
    for (const qint32 k : x.changes(changed, scratch)) {
        const Column &column = c.mapping.columns[size_t(k)];
        const QByteArrayView old = row1[column.index1];
        const QByteArrayView now = row2[column.index2];
        const bool alike = looksAlike(old, now);
        out << (firstCell ? "" : "; ") << escapedForText(c.mapping.label(k).toUtf8());
        if (c.mapping.named(k)) {
            out << " [";
            out.number(c.mapping.number(k)) << ']';
        }
        out << ' ';
        quotedValue(out, old, alike);
        out << " → ";
        if (x.options.colour)
            out << "\x1b[33m";
        quotedValue(out, now, alike);
        if (x.options.colour)
            out << "\x1b[0m";
        firstCell = false;
    }
    out << '\n';
}

void textReport(Out &out, const Context &x)
{
    const RowComparison &c = x.c;
    if (x.options.heading)
        out << "--- " << x.name1 << "\n+++ " << x.name2 << '\n';
    out.text(summaryLine(c)) << '\n';
    textColumns(out, x);
    textDuplicates(out, x);
    textRagged(out, *c.table1, c.ragged1, c.mapping.width1, x.name1);
    textRagged(out, *c.table2, c.ragged2, c.mapping.width2, x.name2);
    Row row1;
    Row row2;
    const auto rows = [&](const Table &table, const std::vector<qint32> &records, char sign,
                          const char *colour) {
        for (size_t i = 0; i < records.size(); ++i) {
            if (!out.finding())
                return;
            fetchAhead(table, records, i);
            const qint32 r = records[i];
            table.split(r, row1);
            if (x.options.colour)
                out << colour;
            out << sign << " line ";
            out.number(table.line(r)) << ": ";
            rowLine(out, row1);
            if (x.options.colour)
                out << "\x1b[0m";
            out << '\n';
        }
    };
    rows(*c.table1, c.removed, '-', "\x1b[31m");
    rows(*c.table2, c.added, '+', "\x1b[32m");
    std::vector<qint32> scratch;
    for (size_t i = 0; i < c.changed.size(); ++i) {
        if (!out.finding())
            return;
        fetchAhead(c, i);
        textChanged(out, x, c.changed[i], row1, row2, scratch);
    }
}

// The csv report: one line a finding, so that a spreadsheet can filter and
// sort it. Its own columns are bracketed ([status], [line1], [line2],
// [old] NAME, [changed], [note]); a data column whose name starts with "["
// is written with one more "[" in front, so that no name can be taken for
// another. Changed rows carry the new values in the data columns and the
// old ones in an [old] column, placed before each column that changed
// somewhere.
class CsvReport
{
public:
    CsvReport(Out &out, const Context &x) : m_out(out), m_x(x), m_c(x.c)
    {
        m_oldColumn.assign(m_c.mapping.columns.size(), 0);
        for (const qint32 k : m_c.changedColumnList) {
            if (!m_oldColumn[size_t(k)])
                m_labels.emplace(k, m_c.mapping.label(k).toUtf8());
            m_oldColumn[size_t(k)] = 1;
        }
        m_oldValue.assign(m_c.mapping.columns.size(), -1);
    }

    // Everything before the rows.
    void writeHead()
    {
        header();
        if (m_x.options.heading)
            note(m_x.name1 + " → " + m_x.name2);
        for (size_t i = 0; i < m_c.mapping.columns.size(); ++i) {
            const Column &column = m_c.mapping.columns[i];
            if (!column.inBoth())
                note("Column \"" + m_c.mapping.label(qsizetype(i)).toUtf8() + "\" only in "
                     + (column.index1 >= 0 ? m_x.name1 : m_x.name2));
        }
        if (m_c.mapping.reordered)
            note("Columns in another order in " + m_x.name2);
        duplicates();
        ragged(*m_c.table1, m_c.ragged1, m_c.mapping.width1, true);
        ragged(*m_c.table2, m_c.ragged2, m_c.mapping.width2, false);
    }

    // The rows: the removed, then the added, then the changed.
    size_t rowCount() const { return m_c.removed.size() + m_c.added.size() + m_c.changed.size(); }
    // Rows [begin, end) of those.
    void writeRows(size_t begin, size_t end)
    {
        const size_t removed = m_c.removed.size();
        const size_t added = removed + m_c.added.size();
        for (size_t i = begin; i < std::min(end, removed); ++i) {
            fetchAhead(*m_c.table1, m_c.removed, i);
            row('-', m_c.removed[i], -1);
        }
        for (size_t i = std::max(begin, removed); i < std::min(end, added); ++i) {
            fetchAhead(*m_c.table2, m_c.added, i - removed);
            row('+', -1, m_c.added[i - removed]);
        }
        for (size_t i = std::max(begin, added); i < end; ++i)
            changedRow(i - added);
    }
    // How many bytes of the files rows [begin, end) show, about.
    qint64 rowBytes(size_t i) const
    {
        const size_t removed = m_c.removed.size();
        const size_t added = removed + m_c.added.size();
        if (i < removed)
            return m_c.table1->rawRecord(m_c.removed[i]).size();
        if (i < added)
            return m_c.table2->rawRecord(m_c.added[i - removed]).size();
        const ChangedRow &changed = m_c.changed[i - added];
        return m_c.table1->rawRecord(changed.record1).size()
               + m_c.table2->rawRecord(changed.record2).size();
    }

private:
    void changedRow(size_t i)
    {
        const ChangedRow &changed = m_c.changed[i];
        fetchAhead(m_c, i);
        if (!m_out.finding())
            return;
        m_changedNames.clear();
        for (const qint32 k : m_x.changes(changed, m_scratch)) {
            if (!m_changedNames.isEmpty())
                m_changedNames += "; ";
            m_changedNames += m_labels.at(k);
            m_oldValue[size_t(k)] = changed.record1;
        }
        row('~', changed.record1, changed.record2);
        for (const qint32 k : m_scratch)
            m_oldValue[size_t(k)] = -1;
    }

    void header()
    {
        m_out << "[status],[line1],[line2]";
        for (const qsizetype c : m_x.order) {
            const QByteArray label = m_c.mapping.label(c).toUtf8();
            if (m_oldColumn[size_t(c)]) {
                m_out << ',';
                csvField(m_out, "[old] " + label);
            }
            m_out << ',';
            csvField(m_out, label.startsWith('[') ? '[' + label : label);
        }
        m_out << ",[changed],[note]\r\n";
    }

    // A finding about no single row: the note alone.
    void note(const QByteArray &text) { line('#', -1, -1, false, text); }

    void duplicates()
    {
        Row keyRow;
        for (const DuplicateKey &d : m_c.duplicateKeys) {
            const bool in1 = !d.records1.empty();
            (in1 ? *m_c.table1 : *m_c.table2)
                .split(in1 ? d.records1.front() : d.records2.front(), keyRow);
            const QByteArray text = "Duplicate key " + keyText(m_c, keyRow, in1);
            for (const qint32 r : d.records1)
                line('!', r, -1, true, text);
            for (const qint32 r : d.records2)
                line('!', -1, r, true, text);
        }
    }

    void ragged(const Table &table, const std::vector<qint32> &records, qsizetype width, bool file1)
    {
        for (const qint32 r : records) {
            line('#', file1 ? r : -1, file1 ? -1 : r, false,
                 "Ragged row: " + QByteArray::number(table.cellCount(r)) + " cells, not "
                     + QByteArray::number(width));
        }
    }

    void row(char status, qint32 record1, qint32 record2)
    {
        line(status, record1, record2, true, QByteArray());
    }

    // One line: the status, the lines, with `cells` the cells of the row
    // (file 2's where it has one), the changed columns and the note.
    void line(char status, qint32 record1, qint32 record2, bool cells, const QByteArray &text)
    {
        if (status != '~' && !m_out.finding()) // a changed row was counted by write()
            return;
        if (!m_out.ok())
            return;
        if (record1 >= 0)
            m_c.table1->split(record1, m_row1);
        if (record2 >= 0)
            m_c.table2->split(record2, m_row2);
        m_out << status << ',';
        if (record1 >= 0)
            m_out.number(m_c.table1->line(record1));
        m_out << ',';
        if (record2 >= 0)
            m_out.number(m_c.table2->line(record2));
        const bool fromFile2 = record2 >= 0;
        for (const qsizetype c : m_x.order) {
            const Column &column = m_c.mapping.columns[size_t(c)];
            if (m_oldColumn[size_t(c)]) {
                m_out << ',';
                if (cells && m_oldValue[size_t(c)] >= 0)
                    csvField(m_out, m_row1[column.index1]);
            }
            m_out << ',';
            // A changed row shows the columns only file 1 has as file 1 holds them.
            const bool own2 = fromFile2 && column.index2 >= 0;
            const qint64 index = own2 ? column.index2 : column.index1;
            if (cells && index >= 0 && (own2 || record1 >= 0))
                csvField(m_out, (own2 ? m_row2 : m_row1)[index]);
        }
        m_out << ',';
        if (status == '~')
            csvField(m_out, m_changedNames);
        m_out << ',';
        csvField(m_out, text);
        m_out << "\r\n";
    }

    Out &m_out;
    const Context &m_x;
    const RowComparison &m_c;
    std::vector<char> m_oldColumn;  // per mapping column: has an [old] column
    std::vector<qint32> m_oldValue; // per mapping column: changed in the row being written
    std::unordered_map<qint32, QByteArray> m_labels; // of the columns that changed, as UTF-8
    QByteArray m_changedNames;
    std::vector<qint32> m_scratch;
    Row m_row1;
    Row m_row2;
};

// The rows of a long report are split and escaped on both cores: two
// writers each fill a buffer with a block of rows at once, and the blocks
// go out in order. A block ends after 4,096 rows or a megabyte of the
// files' bytes, so that rows of large cells are not gathered by the
// thousand.
void csvReport(Out &out, const Context &x)
{
    CsvReport report(out, x);
    report.writeHead();
    const size_t count = report.rowCount();
    constexpr size_t kRowsInBlock = 4096;
    constexpr qint64 kBytesInBlock = qint64(1) << 20;
    if (count < 2 * kRowsInBlock) {
        report.writeRows(0, count);
        return;
    }
    std::string blocks[2];
    const auto into = [](std::string &block) -> ReportSink {
        return [&block](QByteArrayView piece) {
            block.append(piece.data(), size_t(piece.size()));
            return true;
        };
    };
    const ReportSink sinks[2] = {into(blocks[0]), into(blocks[1])};
    Out outs[2] = {Out(sinks[0]), Out(sinks[1])};
    CsvReport writers[2] = {CsvReport(outs[0], x), CsvReport(outs[1], x)};
    const auto blockEnd = [&](size_t begin) {
        size_t end = begin;
        qint64 bytes = 0;
        while (end < count && end - begin < kRowsInBlock && bytes < kBytesInBlock)
            bytes += report.rowBytes(end++);
        return end;
    };
    for (size_t begin = 0; begin < count;) {
        const size_t middle = blockEnd(begin);
        const size_t end = blockEnd(middle);
        runBothAtOnce(
            [&] {
                writers[0].writeRows(begin, middle);
                outs[0].flush();
            },
            [&] {
                writers[1].writeRows(middle, end);
                outs[1].flush();
            });
        for (std::string &block : blocks) {
            out << QByteArrayView(block.data(), qsizetype(block.size()));
            block.clear();
        }
        if (!out.findings(qint64(end - begin)))
            return;
        begin = end;
    }
}

void jsonString(Out &out, QByteArrayView value)
{
    if (!value.isValidUtf8()) { // a pane's lone surrogate: JSON is UTF-8 or nothing
        const QByteArray valid = QString::fromUtf8(value).toUtf8();
        jsonString(out, QByteArrayView(valid));
        return;
    }
    out << '"';
    Escapes::jsonEscaped(value, [&out](QByteArrayView piece) { out << piece; });
    out << '"';
}

void jsonString(Out &out, const QString &value)
{
    jsonString(out, QByteArrayView(value.toUtf8()));
}

void jsonLines(Out &out, const Table &table, const RecordList &records)
{
    out << '[';
    const char *separator = "";
    for (const qint32 r : records) {
        out << separator;
        out.number(table.line(r));
        separator = ",";
    }
    out << ']';
}

void jsonKey(Out &out, const RowComparison &c, const Row &row, bool file1)
{
    out << '[';
    for (size_t k = 0; k < c.keyColumns.size(); ++k) {
        const Column &column = c.mapping.columns[size_t(c.keyColumns[k])];
        if (k > 0)
            out << ',';
        jsonString(out, row[file1 ? column.index1 : column.index2]);
    }
    out << ']';
}

void jsonEncoding(Out &out, const Table &table)
{
    out << "{\"name\":";
    jsonString(out, table.encoding());
    if (table.invalidLine() > 0) {
        out << ",\"firstInvalidLine\":";
        out.number(table.invalidLine());
    }
    out << '}';
}

void jsonHead(Out &out, const Context &x)
{
    const RowComparison &c = x.c;
    out << "{\"file1\":";
    jsonString(out, QByteArrayView(x.name1));
    out << ",\"file2\":";
    jsonString(out, QByteArrayView(x.name2));
    out << ",\"encoding\":{\"file1\":";
    jsonEncoding(out, *c.table1);
    out << ",\"file2\":";
    jsonEncoding(out, *c.table2);
    out << "},\"summary\":{\"removed\":";
    out.number(qint64(c.removed.size())) << ",\"added\":";
    out.number(qint64(c.added.size())) << ",\"changed\":";
    out.number(qint64(c.changed.size())) << ",\"duplicateKeys\":";
    out.number(qint64(c.duplicateKeys.size())) << ",\"rows1\":";
    out.number(c.rows1) << ",\"rows2\":";
    out.number(c.rows2) << "},\"key\":[";
    for (size_t k = 0; k < c.keyColumns.size(); ++k) {
        if (k > 0)
            out << ',';
        jsonString(out, c.mapping.label(c.keyColumns[k]));
    }
    out << "],\"keyGuessed\":" << (c.keyGuessed ? "true" : "false") << ",\"columns\":[";
    std::vector<char> compared(c.mapping.columns.size(), 0);
    for (const qsizetype k : c.comparedColumns)
        compared[size_t(k)] = 1;
    const auto position = [&out](qint64 index) {
        if (index >= 0)
            out.number(index + 1);
        else
            out << "null";
    };
    for (size_t at = 0; at < x.order.size(); ++at) {
        const qsizetype i = x.order[at];
        out << (at > 0 ? ",{\"name\":" : "{\"name\":");
        jsonString(out, c.mapping.label(i));
        if (c.mapping.isRenamed(i)) {
            out << ",\"name1\":";
            jsonString(out, c.mapping.nameBytesIn(i, 1));
            out << ",\"name2\":";
            jsonString(out, c.mapping.nameBytesIn(i, 2));
        }
        out << ",\"column1\":";
        position(c.mapping.columns[size_t(i)].index1);
        out << ",\"column2\":";
        position(c.mapping.columns[size_t(i)].index2);
        out << ",\"compared\":" << (compared[size_t(i)] ? "true" : "false") << '}';
    }
    out << "],\"reordered\":" << (c.mapping.reordered ? "true" : "false");
}

void jsonRows(Out &out, const char *name, const Table &table, const std::vector<qint32> &records)
{
    out << ",\"" << name << "\":[";
    Row row;
    for (size_t i = 0; i < records.size() && out.finding(); ++i) {
        fetchAhead(table, records, i);
        table.split(records[i], row);
        out << (i > 0 ? ",{\"line\":" : "{\"line\":");
        out.number(table.line(records[i])) << ",\"row\":[";
        for (qsizetype k = 0; k < row.size(); ++k) {
            if (k > 0)
                out << ',';
            jsonString(out, row[k]);
        }
        out << "]}";
    }
    out << ']';
}

void jsonChanged(Out &out, const Context &x)
{
    const RowComparison &c = x.c;
    std::vector<qint32> scratch;
    out << ",\"changed\":[";
    Row row1;
    Row row2;
    for (size_t i = 0; i < c.changed.size() && out.finding(); ++i) {
        const ChangedRow &changed = c.changed[i];
        fetchAhead(c, i);
        c.table1->split(changed.record1, row1);
        c.table2->split(changed.record2, row2);
        out << (i > 0 ? ",{\"line1\":" : "{\"line1\":");
        out.number(c.table1->line(changed.record1)) << ",\"line2\":";
        out.number(c.table2->line(changed.record2)) << ",\"key\":";
        jsonKey(out, c, row2, false);
        out << ",\"changes\":[";
        bool first = true;
        for (const qint32 k : x.changes(changed, scratch)) {
            const Column &column = c.mapping.columns[size_t(k)];
            out << (first ? "{\"column\":" : ",{\"column\":");
            jsonString(out, c.mapping.label(k));
            out << ",\"number\":";
            out.number(c.mapping.number(k)) << ",\"old\":";
            jsonString(out, row1[column.index1]);
            out << ",\"new\":";
            jsonString(out, row2[column.index2]);
            out << '}';
            first = false;
        }
        out << "]}";
    }
    out << ']';
}

void jsonTail(Out &out, const RowComparison &c)
{
    out << ",\"duplicateKeys\":[";
    Row row;
    for (size_t i = 0; i < c.duplicateKeys.size() && out.finding(); ++i) {
        const DuplicateKey &d = c.duplicateKeys[i];
        const bool in1 = !d.records1.empty();
        (in1 ? *c.table1 : *c.table2).split(in1 ? d.records1.front() : d.records2.front(), row);
        out << (i > 0 ? ",{\"key\":" : "{\"key\":");
        jsonKey(out, c, row, in1);
        out << ",\"lines1\":";
        jsonLines(out, *c.table1, d.records1);
        out << ",\"lines2\":";
        jsonLines(out, *c.table2, d.records2);
        out << '}';
    }
    out << "],\"ragged\":[";
    bool first = true;
    const auto ragged = [&](int file, const Table &table, const std::vector<qint32> &records,
                            qsizetype width) {
        for (const qint32 r : records) {
            if (!out.finding())
                return;
            out << (first ? "{\"file\":" : ",{\"file\":");
            out.number(file) << ",\"line\":";
            out.number(table.line(r)) << ",\"cells\":";
            out.number(table.cellCount(r)) << ",\"expected\":";
            out.number(width) << '}';
            first = false;
        }
    };
    ragged(1, *c.table1, c.ragged1, c.mapping.width1);
    ragged(2, *c.table2, c.ragged2, c.mapping.width2);
    out << "]}\n";
}

void jsonReport(Out &out, const Context &x)
{
    jsonHead(out, x);
    jsonRows(out, "removed", *x.c.table1, x.c.removed);
    jsonRows(out, "added", *x.c.table2, x.c.added);
    jsonChanged(out, x);
    jsonTail(out, x.c);
}

} // namespace

QByteArray escapedForText(QByteArrayView value, bool everyNonAscii)
{
    QByteArray out;
    out.reserve(value.size());
    escapeEach(value, everyNonAscii, Quote::AsIs, [&out](QByteArrayView piece) { out += piece; });
    return out;
}

QString withThousands(qsizetype number)
{
    QString digits = QString::number(number < 0 ? -number : number);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, u',');
    return number < 0 ? u'-' + digits : digits;
}

QString summaryLine(const RowComparison &c)
{
    return QStringLiteral("%1 removed, %2 added, %3 changed (of %4 / %5 rows)")
        .arg(withThousands(qsizetype(c.removed.size())), withThousands(qsizetype(c.added.size())),
             withThousands(qsizetype(c.changed.size())), withThousands(c.rows1),
             withThousands(c.rows2));
}

namespace {

// What the writing phase counts: rows listed, keys, ragged rows (a duplicate
// key's rows are one finding in the text and json reports, several in csv).
qint64 findingCount(const RowComparison &c)
{
    return qint64(c.removed.size() + c.added.size() + c.changed.size() + c.duplicateKeys.size()
                  + c.ragged1.size() + c.ragged2.size());
}

} // namespace

bool writeReport(const RowComparison &comparison, ReportFormat format, const ReportOptions &options,
                 const ReportSink &sink)
{
    if (format == ReportFormat::Html)
        return writeHtmlReport(comparison, options, sink);
    if (format == ReportFormat::Xlsx)
        return writeXlsxReport(comparison, options, sink).isEmpty();
    if (WorkControl *control = options.control) {
        try {
            control->start(WorkPhase::Writing, findingCount(comparison));
        } catch (const WorkCancelled &) {
            return false;
        }
    }
    Out out(sink, options.control);
    const Context context(comparison, options);
    switch (format) {
    case ReportFormat::Text:
        textReport(out, context);
        break;
    case ReportFormat::Csv:
        csvReport(out, context);
        break;
    case ReportFormat::Json:
        jsonReport(out, context);
        break;
    case ReportFormat::Html:
    case ReportFormat::Xlsx:
        break;
    }
    return out.flush();
}

QByteArray formatReport(const RowComparison &comparison, ReportFormat format, const QString &name1,
                        const QString &name2)
{
    QByteArray report;
    writeReport(comparison, format, {name1, name2}, [&report](QByteArrayView piece) {
        report.append(piece);
        return true;
    });
    return report;
}

QByteArray escapedName(const QString &name)
{
    return nameBytes(name);
}

} // namespace Csv
