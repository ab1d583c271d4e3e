#include "csv/HtmlReport.h"

#include <algorithm>

#include "csv/CellDifference.h"
#include "csv/ReportFacts.h"
#include "csv/ReportStream.h"
#include "csv/RowComparison.h"
#include "text/Escapes.h"
#include "text/Utf8.h"

namespace Csv {

namespace {

// Lean on purpose: a report of 100,000 rows is tables of rows with a class a
// row. The rows come in blocks of kBlock, each a table of fixed layout (its
// columns' widths given, never measured from its cells) that the browser
// neither lays out nor paints until it scrolls near (content-visibility), so
// that a page of 70,000 rows opens in seconds; the header is a table of its
// own that stays on top. The blocks are as wide as their tables: a block
// clips what overflows it.
constexpr const char *kStyle =
    "body{font:14px/1.4 system-ui,sans-serif;margin:1.5em;color:#1b1b1b;background:#fff}"
    "h1{font-size:1.3em;overflow-wrap:anywhere}h2{font-size:1.1em;margin-top:1.5em}"
    "table{border-collapse:collapse}"
    "td,th{border:1px solid #c8c8c8;padding:2px 6px;text-align:left;vertical-align:top;"
    "white-space:pre-wrap;overflow-wrap:anywhere}"
    "th{background:#ececec}td.n{text-align:right}"
    ".rows table{table-layout:fixed}.rows .h{position:sticky;top:0;z-index:1}"
    ".rows .k{content-visibility:auto;contain-intrinsic-block-size:auto 6000px}"
    "tr.r td{background:#fbe0e0}tr.a td{background:#dcf3dc}tr.d td{background:#f3e6c8}"
    "tr.c td.x{background:#fff4bf}"
    "del{color:#8d1d1d}ins{text-decoration:none;color:#0b5d0b}"
    "mark{background:#ffcf4a;color:inherit}"
    "i{color:#6b3fa0;font-style:normal}";

constexpr qsizetype kBlock = 256;

// Characters, not bytes: what a column's width is measured in.
qsizetype characters(QByteArrayView text)
{
    qsizetype count = 0;
    for (const char c : text)
        count += (uchar(c) & 0xC0) != 0x80 ? 1 : 0;
    return count;
}

class HtmlReport
{
public:
    HtmlReport(const RowComparison &c, const ReportOptions &options, const ReportSink &sink)
        : m_c(c), m_options(options), m_facts(c), m_out(sink, options.control)
    {
        measureColumns();
    }

    bool write()
    {
        head();
        facts();
        columns();
        notes();
        rows();
        m_out << "</body></html>\n";
        return m_out.flush();
    }

private:
    void text(QByteArrayView bytes)
    {
        Escapes::htmlEscaped(bytes, [this](QByteArrayView piece) { m_out << piece; });
    }
    void text(const QString &value) { text(QByteArrayView(value.toUtf8())); }
    // A file's name, its bytes that are not UTF-8 as "\xE9".
    void name(const QString &value) { text(QByteArrayView(escapedName(value))); }

    // A cell: line breaks and tabs as they are (cells keep their white space),
    // every other control character, invisible character or byte that is not
    // UTF-8 as an escape set apart (<i>\x1b</i>).
    void cell(QByteArrayView value)
    {
        const auto *begin = reinterpret_cast<const unsigned char *>(value.data());
        const auto *end = begin + value.size();
        const auto *p = begin;
        const auto *run = p;
        while (p < end) {
            const unsigned char b = *p;
            qsizetype length = 1;
            bool special = false;
            if (b < 0x80) {
                special = (b < 0x20 && b != '\n' && b != '\t') || b == 0x7F;
            } else {
                char32_t c = 0;
                length = Files::decodeUtf8Sequence(p, end, c);
                special = length == 0 || invisibleCharacter(c);
                length = std::max<qsizetype>(length, 1);
            }
            if (special) {
                text(QByteArrayView(run, p));
                m_out << "<i>";
                text(QByteArrayView(escapedForText(QByteArrayView(p, length))));
                m_out << "</i>";
                run = p + length;
            }
            p += length;
        }
        text(QByteArrayView(run, p));
    }

    void head()
    {
        m_out << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n"
                 "<meta name=\"viewport\" content=\"width=device-width\">\n<title>";
        name(m_options.name1);
        m_out << " \xe2\x86\x92 ";
        name(m_options.name2);
        m_out << "</title>\n<style>" << kStyle << ".rows,.rows table{width:";
        qsizetype total = 0;
        for (const quint16 width : m_widths)
            total += width;
        m_out.number(total) << "ch}</style></head>\n<body>\n<h1>";
        name(m_options.name1);
        m_out << " \xe2\x86\x92 ";
        name(m_options.name2);
        m_out << "</h1>\n";
    }

    void facts()
    {
        m_out << "<table class=\"facts\">\n<tr><th>File 1<td>";
        name(m_options.name1);
        m_out << " (";
        text(m_c.table1->encoding());
        m_out << ")\n<tr><th>File 2<td>";
        name(m_options.name2);
        m_out << " (";
        text(m_c.table2->encoding());
        m_out << ")\n";
        for (const auto &[label, value] : optionLines(m_c, m_options)) {
            m_out << "<tr><th>";
            text(label);
            m_out << "<td>";
            text(value);
            m_out << '\n';
        }
        m_out << "</table>\n<p class=\"summary\">";
        text(summaryLine(m_c));
        if (!m_c.duplicateKeys.empty()) {
            m_out << "; ";
            m_out.number(qint64(m_c.duplicateKeys.size()))
                << (m_c.duplicateKeys.size() == 1 ? " duplicate key" : " duplicate keys");
        }
        m_out << "</p>\n";
    }

    void columns()
    {
        m_out << "<h2>Columns</h2>\n<table class=\"columns\"><thead><tr><th>Column<th>Number"
                 "<th>In<th>Changed rows</thead><tbody>\n";
        for (const qsizetype k : m_facts.order()) {
            m_out << "<tr><td>";
            text(m_c.mapping.label(k));
            m_out << "<td class=n>";
            m_out.number(m_c.mapping.number(k)) << "<td>";
            text(columnPlace(m_c.mapping.columns[size_t(k)]));
            m_out << "<td class=n>";
            m_out.number(m_facts.changedRows(k)) << '\n';
        }
        m_out << "</tbody></table>\n";
    }

    void notes()
    {
        std::vector<QByteArray> lines;
        for (size_t i = 0; i < m_c.mapping.columns.size(); ++i) {
            const Column &column = m_c.mapping.columns[i];
            if (!column.inBoth())
                lines.push_back("Column \u201c" + m_c.mapping.label(qsizetype(i)).toUtf8()
                                + "\u201d only in file " + (column.index1 >= 0 ? "1" : "2"));
        }
        if (m_c.mapping.reordered)
            lines.emplace_back("Columns in another order in file 2");
        const auto ragged = [&](const Table &table, const std::vector<qint32> &records,
                                qsizetype width, const char *file) {
            for (const qint32 r : records)
                lines.push_back("Ragged row: line " + QByteArray::number(table.line(r))
                                + " of file " + file + " has "
                                + QByteArray::number(table.cellCount(r)) + " cells, not "
                                + QByteArray::number(width));
        };
        ragged(*m_c.table1, m_c.ragged1, m_c.mapping.width1, "1");
        ragged(*m_c.table2, m_c.ragged2, m_c.mapping.width2, "2");
        if (lines.empty())
            return;
        m_out << "<h2>Notes</h2>\n<ul class=\"notes\">\n";
        for (const QByteArray &line : lines) {
            m_out << "<li>";
            cell(line);
            m_out << '\n';
        }
        m_out << "</ul>\n";
    }

    // Each column's width in characters: its name's, or the widest of its
    // cells in the first rows of each kind, within bounds. Linear in the
    // rows looked at, of which there are at most a few hundred.
    void measureColumns()
    {
        constexpr qsizetype kSample = 200;
        constexpr qsizetype kPadding = 2; // a cell's padding and border, about
        const auto lastLine = [](const Table &table) {
            return table.size() > 0 ? table.line(table.size() - 1) : 0;
        };
        const qsizetype lines = std::max(lastLine(*m_c.table1), lastLine(*m_c.table2));
        const qsizetype lineWidth = std::max<qsizetype>(5, QByteArray::number(lines).size());
        m_widths = {quint16(9 + kPadding), quint16(lineWidth + kPadding),
                    quint16(lineWidth + kPadding)};
        // Per mapping column, the widest cell (or old → new) seen, within bounds.
        std::vector<quint16> widest(m_c.mapping.columns.size(), 0);
        const auto widen = [&widest](size_t k, qsizetype width) {
            widest[k] = quint16(std::clamp<qsizetype>(width, widest[k], 40));
        };
        for (const qsizetype k : m_facts.order())
            widen(size_t(k), characters(m_c.mapping.label(k).toUtf8()));
        const auto look = [&](const Table &table, qint32 record, bool file1, Row &row) {
            table.split(record, row);
            for (size_t k = 0; k < widest.size(); ++k) {
                const qint64 index =
                    file1 ? m_c.mapping.columns[k].index1 : m_c.mapping.columns[k].index2;
                if (index >= 0 && index < row.size())
                    widen(k, characters(row[index]));
            }
        };
        for (size_t i = 0; i < m_c.removed.size() && qsizetype(i) < kSample; ++i)
            look(*m_c.table1, m_c.removed[i], true, m_row1);
        for (size_t i = 0; i < m_c.added.size() && qsizetype(i) < kSample; ++i)
            look(*m_c.table2, m_c.added[i], false, m_row2);
        for (size_t i = 0; i < m_c.changed.size() && qsizetype(i) < kSample; ++i) {
            const ChangedRow &row = m_c.changed[i];
            look(*m_c.table2, row.record2, false, m_row2);
            m_c.table1->split(row.record1, m_row1);
            for (const qint32 k : m_c.changedColumns(row)) {
                const Column &column = m_c.mapping.columns[size_t(k)];
                widen(size_t(k),
                      characters(m_row1[column.index1]) + 3 + characters(m_row2[column.index2]));
            }
        }
        for (const qsizetype k : m_facts.order())
            m_widths.push_back(quint16(std::max<quint16>(widest[size_t(k)], 3) + kPadding));
    }

    void columnWidths()
    {
        m_out << "<colgroup>";
        for (const quint16 width : m_widths) {
            m_out << "<col style=\"width:";
            m_out.number(width) << "ch\">";
        }
        m_out << "</colgroup>";
    }

    void rows()
    {
        m_out << "<h2>Rows</h2>\n<div class=\"rows\"><table class=\"h\">";
        columnWidths();
        m_out << "<thead><tr><th>Status<th>Line 1<th>Line 2";
        for (const qsizetype k : m_facts.order()) {
            m_out << "<th>";
            text(m_c.mapping.label(k));
        }
        m_out << "</thead></table>\n";
        for (const DuplicateKey &d : m_c.duplicateKeys) {
            for (const qint32 r : d.records1) {
                if (!row("d", "duplicate", r, -1))
                    return;
            }
            for (const qint32 r : d.records2) {
                if (!row("d", "duplicate", -1, r))
                    return;
            }
        }
        for (size_t i = 0; i < m_c.removed.size(); ++i) {
            fetchAhead(*m_c.table1, m_c.removed, i);
            if (!row("r", "removed", m_c.removed[i], -1))
                return;
        }
        for (size_t i = 0; i < m_c.added.size(); ++i) {
            fetchAhead(*m_c.table2, m_c.added, i);
            if (!row("a", "added", -1, m_c.added[i]))
                return;
        }
        std::vector<qint32> scratch;
        std::vector<char> changed(m_c.mapping.columns.size(), 0);
        for (size_t i = 0; i < m_c.changed.size(); ++i) {
            const ChangedRow &c = m_c.changed[i];
            fetchAhead(m_c, i);
            for (const qint32 k : m_facts.changes(c, scratch))
                changed[size_t(k)] = 1;
            if (!row("c", "changed", c.record1, c.record2, &changed))
                return;
            for (const qint32 k : scratch)
                changed[size_t(k)] = 0;
        }
        if (m_written % kBlock != 0)
            m_out << "</tbody></table></div>\n";
        m_out << "</div>\n";
    }

    // One row: file 2's cells where it has the row (a column only file 1
    // has shows file 1's), file 1's otherwise; `changed` marks the columns
    // that differ, shown as old → new. False once the writing stops.
    bool row(const char *cls, const char *status, qint32 record1, qint32 record2,
             const std::vector<char> *changed = nullptr)
    {
        if (!m_out.finding())
            return false;
        if (m_written % kBlock == 0) {
            m_out << "<div class=k><table>";
            columnWidths();
            m_out << "<tbody>\n";
        }
        if (record1 >= 0)
            m_c.table1->split(record1, m_row1);
        if (record2 >= 0)
            m_c.table2->split(record2, m_row2);
        m_out << "<tr class=" << cls << "><td>" << status << "<td class=n>";
        if (record1 >= 0)
            m_out.number(m_c.table1->line(record1));
        m_out << "<td class=n>";
        if (record2 >= 0)
            m_out.number(m_c.table2->line(record2));
        for (const qsizetype k : m_facts.order()) {
            const Column &column = m_c.mapping.columns[size_t(k)];
            if (changed && (*changed)[size_t(k)]) {
                changedCell(m_row1[column.index1], m_row2[column.index2]);
                continue;
            }
            m_out << "<td>";
            const bool own2 = record2 >= 0 && column.index2 >= 0;
            const qint64 index = own2 ? column.index2 : column.index1;
            if (index >= 0 && (own2 || record1 >= 0))
                cell((own2 ? m_row2 : m_row1)[index]);
        }
        m_out << '\n';
        if (++m_written % kBlock == 0)
            m_out << "</tbody></table></div>\n";
        return true;
    }

    void changedCell(QByteArrayView old, QByteArrayView now)
    {
        const CellDifference d = cellDifference(old, now);
        const auto marked = [this, &d](QByteArrayView value, qsizetype length) {
            cell(value.first(d.start));
            if (length > 0) {
                m_out << "<mark>";
                cell(value.sliced(d.start, length));
                m_out << "</mark>";
            }
            cell(value.sliced(d.start + length));
        };
        m_out << "<td class=x><del>";
        marked(old, d.oldLength);
        m_out << "</del> \xe2\x86\x92 <ins>";
        marked(now, d.newLength);
        m_out << "</ins>";
    }

    const RowComparison &m_c;
    const ReportOptions &m_options;
    const ReportFacts m_facts;
    ReportStream m_out;
    Row m_row1;
    Row m_row2;
    std::vector<quint16> m_widths; // of each column of the rows, in characters
    qsizetype m_written = 0;       // rows so far
};

} // namespace

bool writeHtmlReport(const RowComparison &comparison, const ReportOptions &options,
                     const ReportSink &sink)
{
    if (WorkControl *control = options.control) {
        try {
            control->start(WorkPhase::Writing, reportRows(comparison));
        } catch (const WorkCancelled &) {
            return false;
        }
    }
    return HtmlReport(comparison, options, sink).write();
}

} // namespace Csv
