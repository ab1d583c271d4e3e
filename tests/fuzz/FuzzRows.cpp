// Any two files as tables: the reader, the comparison under any options and
// the three reports never crash, and the reports agree with the findings and
// with those of the same comparison split into parts on disk.
// The input: an options byte, a byte that says where file 1 ends (its two
// low bits also choose the decimal marks), the files.
#include <QByteArray>
#include <QDir>
#include <QJsonDocument>

#include "FuzzCheck.h"
#include "csv/RowComparison.h"
#include "csv/RowsReport.h"
#include "csv/SpilledComparison.h"

namespace {

Csv::RowOptions optionsOf(std::uint8_t bits, std::uint8_t marks)
{
    Csv::RowOptions options;
    options.decimalMark1 = (marks & 1) ? Csv::DecimalMark::Comma : Csv::DecimalMark::Auto;
    options.decimalMark2 = (marks & 2) ? Csv::DecimalMark::Point : Csv::DecimalMark::Auto;
    options.key = Csv::parseColumnList((bits & 1) ? QStringLiteral("1") : QString()).columns;
    if ((bits & 0x40) && (bits & 1))
        options.key = Csv::parseColumnList(QStringLiteral("1,\"b\"")).columns;
    options.rules.ignoreCase = bits & 2;
    options.rules.ignoreSpace = bits & 4;
    options.rules.numbers = bits & 8;
    options.rules.tolerance = (bits & 16) ? 0.5 : 0;
    options.header = !(bits & 32);
    options.ignoreColumns =
        Csv::parseColumnList((bits & 128) ? QStringLiteral("2") : QString()).columns;
    return options;
}

qsizetype findingLines(const Csv::RowComparison &c)
{
    qsizetype lines =
        1
        + qsizetype(c.duplicateKeys.size() + c.ragged1.size() + c.ragged2.size() + c.removed.size()
                    + c.added.size() + c.changed.size() + (c.mapping.reordered ? 1 : 0));
    for (const Csv::Column &column : c.mapping.columns)
        lines += column.inBoth() ? 0 : 1;
    return lines;
}

// Whether every "<" of the page opens one of the html report's own elements.
bool onlyOwnMarkup(QByteArrayView page)
{
    static const QList<QByteArray> own{
        "!DOCTYPE", "html",  "head",  "meta", "title", "style",    "body", "h1", "h2",
        "table",    "thead", "tbody", "tr",   "th",    "td",       "p",    "ul", "li",
        "del",      "ins",   "mark",  "i",    "div",   "colgroup", "col"};
    for (qsizetype at = page.indexOf('<'); at >= 0; at = page.indexOf('<', at + 1)) {
        qsizetype end = at + 1 < page.size() && page[at + 1] == '/' ? at + 2 : at + 1;
        const qsizetype start = end;
        while (end < page.size() && page[end] != ' ' && page[end] != '>')
            ++end;
        if (!own.contains(page.sliced(start, end - start).toByteArray()))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    const QByteArray rest(reinterpret_cast<const char *>(data + 2), qsizetype(size - 2));
    const qsizetype split = rest.size() * data[1] / 256;
    Csv::ReadResult read1 = Csv::readCsvFile(rest.first(split));
    Csv::ReadResult read2 = Csv::readCsvFile(rest.sliced(split));
    if (!read1.ok() || !read2.ok())
        return 0;
    const Csv::RowOptions options = optionsOf(data[0], data[1]);
    const Csv::RowComparison c =
        Csv::compareTables(std::make_shared<const Csv::Table>(std::move(read1.table)),
                           std::make_shared<const Csv::Table>(std::move(read2.table)), options);
    if (!c.ok())
        return 0;
    // Four parts on disk, file 1's reported rows copied out: the same reports.
    const Csv::RowComparison parts = Csv::compareTablesWithin(
        c.table1, c.table2, options, {qint64(1) << 30, QDir::tempPath(), 4});
    for (const auto format :
         {Csv::ReportFormat::Text, Csv::ReportFormat::Csv, Csv::ReportFormat::Json})
        fuzzCheck(Csv::formatReport(parts, format, "a", "b")
                      == Csv::formatReport(c, format, "a", "b"),
                  "a report of the comparison in parts that differs");
    for (const qint32 r : c.removed)
        fuzzCheck(r >= 0 && r < c.table1->size(), "a removed row outside file 1");
    for (const qint32 r : c.added)
        fuzzCheck(r >= 0 && r < c.table2->size(), "an added row outside file 2");
    for (const Csv::ChangedRow &row : c.changed)
        fuzzCheck(row.columnCount > 0, "a changed row without a changed cell");

    const QByteArray text = Csv::formatReport(c, Csv::ReportFormat::Text, "a", "b");
    fuzzCheck(text.count('\n') == findingLines(c), "a text finding that is not one line");
    fuzzCheck(!text.contains('\r') && !text.contains('\x1b'), "a control character printed");

    const Csv::ReadResult csv =
        Csv::readCsv(Csv::formatReport(c, Csv::ReportFormat::Csv, "a", "b"), ',');
    fuzzCheck(csv.ok(), "a csv report that does not read");
    // The text report's lines, but a line for each row of a duplicate key.
    qsizetype csvLines = findingLines(c) - qsizetype(c.duplicateKeys.size());
    for (const Csv::DuplicateKey &d : c.duplicateKeys)
        csvLines += qsizetype(d.records1.size() + d.records2.size());
    fuzzCheck(csv.table.size() == csvLines, "a csv report with other rows than the findings");

    const QJsonDocument json =
        QJsonDocument::fromJson(Csv::formatReport(c, Csv::ReportFormat::Json, "a", "b"));
    fuzzCheck(json.isObject(), "a json report that does not parse");

    // The page: a row of its own for each row the csv report lists (notes
    // aside), and no markup but its own: a cell's "<" is always escaped.
    const QByteArray page = Csv::formatReport(c, Csv::ReportFormat::Html, "a", "b");
    fuzzCheck(page.isValidUtf8(), "an html report that is not UTF-8");
    qsizetype pageRows = qsizetype(c.removed.size() + c.added.size() + c.changed.size());
    for (const Csv::DuplicateKey &d : c.duplicateKeys)
        pageRows += qsizetype(d.records1.size() + d.records2.size());
    fuzzCheck(page.count("<tr class=") == pageRows,
              "an html report with other rows than the findings");
    fuzzCheck(onlyOwnMarkup(page), "markup from a cell in the html report");
    return 0;
}
