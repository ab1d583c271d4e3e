#include "csv/RowsReport.h"

#include <string>

#include "csv/RowComparison.h"
#include "text/Utf8.h"

namespace Csv {

namespace {

// Collects a report and hands it to the sink in large pieces.
class Out
{
public:
    explicit Out(const ReportSink &sink) : m_sink(sink) { m_buffer.reserve(kPiece + 4096); }
    ~Out() { flush(); }
    Out &operator<<(QByteArrayView bytes)
    {
        m_buffer.append(bytes.data(), size_t(bytes.size()));
        if (m_buffer.size() >= kPiece)
            flush();
        return *this;
    }
    Out &operator<<(const QByteArray &bytes) { return *this << QByteArrayView(bytes); }
    Out &operator<<(const char *text) { return *this << QByteArrayView(text); }
    Out &text(const QString &text) { return *this << QByteArrayView(text.toUtf8()); }
    Out &operator<<(char c)
    {
        m_buffer.push_back(c);
        return *this;
    }
    Out &number(qint64 value) { return *this << QByteArrayView(QByteArray::number(value)); }
    bool flush()
    {
        if (m_ok && !m_buffer.empty())
            m_ok = m_sink(QByteArrayView(m_buffer.data(), qsizetype(m_buffer.size())));
        m_buffer.clear();
        return m_ok;
    }
    bool ok() const { return m_ok; }

private:
    static constexpr size_t kPiece = 1 << 16;
    const ReportSink &m_sink;
    std::string m_buffer;
    bool m_ok = true;
};

// Characters that print as nothing, or as a blank that is not a space.
bool invisible(char32_t c)
{
    return (c >= 0x80 && c <= 0xA0) || c == 0xAD || c == 0x34F || c == 0x61C
           || (c >= 0x115F && c <= 0x1160) || (c >= 0x17B4 && c <= 0x17B5) || c == 0x180E
           || (c >= 0x2000 && c <= 0x200F) || (c >= 0x2028 && c <= 0x202F)
           || (c >= 0x205F && c <= 0x206F) || c == 0x3000 || c == 0x3164
           || (c >= 0xFE00 && c <= 0xFE0F) || c == 0xFEFF || c == 0xFFA0
           || (c >= 0xFFF9 && c <= 0xFFFB) || (c >= 0xE0000 && c <= 0xE0FFF);
}

void appendHex(QByteArray &out, const char *prefix, char32_t value, int digits)
{
    out += prefix;
    out += QByteArray::number(uint(value), 16).rightJustified(digits, '0');
}

// A name given on the command line: its stray bytes were kept as unpaired
// surrogates U+DC80..U+DCFF.
QByteArray nameBytes(const QString &name)
{
    QByteArray out;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t u = name[i].unicode();
        if (u >= 0xDC80 && u <= 0xDCFF && !(i > 0 && name[i - 1].isHighSurrogate())) {
            appendHex(out, "\\x", u - 0xDC00, 2);
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

// Does the text show the same as another that is not equal?
bool looksAlike(QByteArrayView a, QByteArrayView b)
{
    if (a == b || (printsAsIs(a) && printsAsIs(b)))
        return false;
    return escapedForText(a) == escapedForText(b)
           || QString::fromUtf8(a).normalized(QString::NormalizationForm_KC)
                  == QString::fromUtf8(b).normalized(QString::NormalizationForm_KC);
}

// A cell as a CSV field: quoted when it holds a comma, quote or line break.
void csvField(Out &out, QByteArrayView cell)
{
    const bool quote =
        cell.contains(',') || cell.contains('"') || cell.contains('\r') || cell.contains('\n');
    if (!quote) {
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
};

QByteArray linesText(const Table &table, const std::vector<qint32> &records)
{
    QByteArray out = records.size() == 1 ? "line " : "lines ";
    for (size_t i = 0; i < records.size(); ++i) {
        if (i > 0)
            out += ", ";
        out += QByteArray::number(table.line(records[i]));
    }
    return out;
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
        const bool quote =
            cell.contains(',') || cell.contains('"') || cell.contains('\r') || cell.contains('\n');
        if (!quote && printsAsIs(cell)) {
            out << cell;
            continue;
        }
        QByteArray text = escapedForText(cell);
        if (quote)
            text = '"' + text.replace('"', "\"\"") + '"';
        out << text;
    }
}

void quotedValue(Out &out, QByteArrayView value, bool everyNonAscii)
{
    if (printsAsIs(value) && !value.contains('"')) {
        out << '"' << value << '"';
        return;
    }
    out << '"' << escapedForText(value, everyNonAscii).replace('"', "\\\"") << '"';
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
        const bool in1 = !d.records1.empty();
        (in1 ? *c.table1 : *c.table2).split(in1 ? d.records1[0] : d.records2[0], row);
        out << "Duplicate key " << keyText(c, row, in1) << ": ";
        if (in1)
            out << linesText(*c.table1, d.records1) << " of " << x.name1;
        if (in1 && !d.records2.empty())
            out << "; ";
        if (!d.records2.empty())
            out << linesText(*c.table2, d.records2) << " of " << x.name2;
        out << '\n';
    }
}

void textRagged(Out &out, const Table &table, const std::vector<qint32> &rows, qsizetype width,
                const QByteArray &name)
{
    for (const qint32 r : rows) {
        out << "Ragged row: line ";
        out.number(table.line(r)) << " of " << name << " has ";
        out.number(table.cellCount(r)) << " cells, not ";
        out.number(width) << '\n';
    }
}

void textChanged(Out &out, const Context &x, const ChangedRow &changed, Row &row1, Row &row2)
{
    const RowComparison &c = x.c;
    c.table1->split(changed.record1, row1);
    c.table2->split(changed.record2, row2);
    out << "~ line ";
    out.number(c.table1->line(changed.record1)) << " → ";
    out.number(c.table2->line(changed.record2)) << ", " << keyText(c, row2, false) << ": ";
    bool firstCell = true;
    for (const qint32 k : c.changedColumns(changed)) {
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
    out.text(summaryLine(c)) << '\n';
    textColumns(out, x);
    textDuplicates(out, x);
    textRagged(out, *c.table1, c.ragged1, c.mapping.width1, x.name1);
    textRagged(out, *c.table2, c.ragged2, c.mapping.width2, x.name2);
    Row row1;
    Row row2;
    const auto rows = [&](const Table &table, const std::vector<qint32> &records, char sign,
                          const char *colour) {
        for (const qint32 r : records) {
            if (!out.ok())
                return;
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
    for (const ChangedRow &changed : c.changed) {
        if (!out.ok())
            return;
        textChanged(out, x, changed, row1, row2);
    }
}

void csvReport(Out &out, const RowComparison &c)
{
    const std::vector<Column> &columns = c.mapping.columns;
    out << "status,line";
    for (size_t i = 0; i < columns.size(); ++i) {
        out << ',';
        csvField(out, c.mapping.label(qsizetype(i)).toUtf8());
    }
    out << ",changed\r\n";
    Row row;
    const auto line = [&](char status, const Table &table, qint32 record, bool file1,
                          const QByteArray &changed) {
        table.split(record, row);
        out << status << ',';
        out.number(table.line(record));
        for (const Column &column : columns) {
            out << ',';
            const qint64 index = file1 ? column.index1 : column.index2;
            if (index >= 0)
                csvField(out, row[index]);
        }
        out << ',';
        csvField(out, changed);
        out << "\r\n";
    };
    for (const qint32 r : c.removed) {
        if (out.ok())
            line('-', *c.table1, r, true, QByteArray());
    }
    for (const qint32 r : c.added) {
        if (out.ok())
            line('+', *c.table2, r, false, QByteArray());
    }
    for (const ChangedRow &changed : c.changed) {
        QByteArray names;
        for (const qint32 k : c.changedColumns(changed)) {
            if (!names.isEmpty())
                names += "; ";
            names += c.mapping.label(k).toUtf8();
        }
        if (out.ok())
            line('~', *c.table2, changed.record2, false, names);
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
    qsizetype from = 0;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const auto b = static_cast<unsigned char>(value[i]);
        if (b >= 0x20 && b != '"' && b != '\\')
            continue;
        out << value.sliced(from, i - from);
        switch (b) {
        case '"':
            out << "\\\"";
            break;
        case '\\':
            out << "\\\\";
            break;
        case '\n':
            out << "\\n";
            break;
        case '\r':
            out << "\\r";
            break;
        case '\t':
            out << "\\t";
            break;
        default: {
            QByteArray escape;
            appendHex(escape, "\\u", b, 4);
            out << escape;
        }
        }
        from = i + 1;
    }
    out << value.sliced(from) << '"';
}

void jsonString(Out &out, const QString &value)
{
    jsonString(out, QByteArrayView(value.toUtf8()));
}

void jsonLines(Out &out, const Table &table, const std::vector<qint32> &records)
{
    out << '[';
    for (size_t i = 0; i < records.size(); ++i) {
        if (i > 0)
            out << ',';
        out.number(table.line(records[i]));
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
    out << "],\"columns\":[";
    std::vector<char> compared(c.mapping.columns.size(), 0);
    for (const qsizetype k : c.comparedColumns)
        compared[size_t(k)] = 1;
    const auto position = [&out](qint64 index) {
        if (index >= 0)
            out.number(index + 1);
        else
            out << "null";
    };
    for (size_t i = 0; i < c.mapping.columns.size(); ++i) {
        out << (i > 0 ? ",{\"name\":" : "{\"name\":");
        jsonString(out, c.mapping.label(qsizetype(i)));
        out << ",\"column1\":";
        position(c.mapping.columns[i].index1);
        out << ",\"column2\":";
        position(c.mapping.columns[i].index2);
        out << ",\"compared\":" << (compared[i] ? "true" : "false") << '}';
    }
    out << "],\"reordered\":" << (c.mapping.reordered ? "true" : "false");
}

void jsonRows(Out &out, const char *name, const Table &table, const std::vector<qint32> &records)
{
    out << ",\"" << name << "\":[";
    Row row;
    for (size_t i = 0; i < records.size() && out.ok(); ++i) {
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

void jsonChanged(Out &out, const RowComparison &c)
{
    out << ",\"changed\":[";
    Row row1;
    Row row2;
    for (size_t i = 0; i < c.changed.size() && out.ok(); ++i) {
        const ChangedRow &changed = c.changed[i];
        c.table1->split(changed.record1, row1);
        c.table2->split(changed.record2, row2);
        out << (i > 0 ? ",{\"line1\":" : "{\"line1\":");
        out.number(c.table1->line(changed.record1)) << ",\"line2\":";
        out.number(c.table2->line(changed.record2)) << ",\"key\":";
        jsonKey(out, c, row2, false);
        out << ",\"changes\":[";
        bool first = true;
        for (const qint32 k : c.changedColumns(changed)) {
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
    for (size_t i = 0; i < c.duplicateKeys.size() && out.ok(); ++i) {
        const DuplicateKey &d = c.duplicateKeys[i];
        const bool in1 = !d.records1.empty();
        (in1 ? *c.table1 : *c.table2).split(in1 ? d.records1[0] : d.records2[0], row);
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
    jsonChanged(out, x.c);
    jsonTail(out, x.c);
}

} // namespace

QByteArray escapedForText(QByteArrayView value, bool everyNonAscii)
{
    QByteArray out;
    out.reserve(value.size());
    const auto *p = reinterpret_cast<const unsigned char *>(value.data());
    const auto *end = p + value.size();
    while (p < end) {
        const unsigned char b = *p;
        if (b >= 0x20 && b < 0x7F && b != '\\') {
            out += char(b);
            ++p;
            continue;
        }
        if (b == '\\' || b == '\n' || b == '\r' || b == '\t') {
            out += b == '\\' ? "\\\\" : b == '\n' ? "\\n" : b == '\r' ? "\\r" : "\\t";
            ++p;
            continue;
        }
        char32_t c = 0;
        const int length = b < 0x80 ? 0 : Files::decodeUtf8Sequence(p, end, c);
        if (length == 0) { // a control character, or a byte that is not UTF-8
            appendHex(out, "\\x", b, 2);
            ++p;
            continue;
        }
        if (everyNonAscii || invisible(c))
            appendHex(out, c > 0xFFFF ? "\\U" : "\\u", c, c > 0xFFFF ? 8 : 4);
        else
            out.append(reinterpret_cast<const char *>(p), length);
        p += length;
    }
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

bool writeReport(const RowComparison &comparison, ReportFormat format, const ReportOptions &options,
                 const ReportSink &sink)
{
    Out out(sink);
    const Context context{comparison, options, nameBytes(options.name1), nameBytes(options.name2)};
    switch (format) {
    case ReportFormat::Text:
        textReport(out, context);
        break;
    case ReportFormat::Csv:
        csvReport(out, comparison);
        break;
    case ReportFormat::Json:
        jsonReport(out, context);
        break;
    }
    return out.flush();
}

QByteArray formatReport(const RowComparison &comparison, ReportFormat format, const QString &name1,
                        const QString &name2)
{
    QByteArray report;
    writeReport(comparison, format, {name1, name2, false}, [&report](QByteArrayView piece) {
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
