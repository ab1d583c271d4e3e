#pragma once

#include <utility>
#include <vector>

#include <QString>

#include "csv/RowComparison.h"
#include "csv/RowsReport.h"

namespace Csv {

// What the html and xlsx reports state beside the rows: the columns in the
// order a reader sees them, how many changed rows differ in each, and the
// options the comparison ran with. Linear in the result.
class ReportFacts
{
public:
    explicit ReportFacts(const RowComparison &comparison);

    const std::vector<qsizetype> &order() const { return m_order; }
    // Per mapping column: the changed rows that differ in it.
    qsizetype changedRows(qsizetype column) const { return m_changedRows[size_t(column)]; }
    // The changed columns of a row in the reader's order, in `scratch`.
    const std::vector<qint32> &changes(const ChangedRow &row, std::vector<qint32> &scratch) const;

private:
    const RowComparison &m_c;
    std::vector<qsizetype> m_order;
    std::vector<qint32> m_rank; // each mapping column's place in m_order
    std::vector<qint32> m_changedRows;
};

// The options as a person reads them, a line each: ("Key", "sku"),
// ("Ignored columns", "note"), ("Cells", "ignoring case"), ...
std::vector<std::pair<QString, QString>> optionLines(const RowComparison &comparison,
                                                     const ReportOptions &options);

// The rows the html and xlsx reports list: each row of a duplicate key, and
// each removed, added and changed row; what their writing counts.
qint64 reportRows(const RowComparison &comparison);

// The rows a report lists lie anywhere in files of gigabytes, and a report
// that split them one after the other would wait on memory at each: before
// row i of a list is split, the rows some places further on are fetched,
// their places in the table first.
inline constexpr size_t kRecordsAhead = 16;
inline constexpr size_t kTextAhead = 8;
inline void fetchAhead(const Table &table, const std::vector<qint32> &records, size_t i)
{
    if (i + kTextAhead < records.size())
        table.prefetchText(records[i + kTextAhead]);
    if (i + kRecordsAhead < records.size())
        table.prefetchRecord(records[i + kRecordsAhead]);
}
// The same for changed row i, from both files.
inline void fetchAhead(const RowComparison &c, size_t i)
{
    if (i + kTextAhead < c.changed.size()) {
        c.table1->prefetchText(c.changed[i + kTextAhead].record1);
        c.table2->prefetchText(c.changed[i + kTextAhead].record2);
    }
    if (i + kRecordsAhead < c.changed.size()) {
        c.table1->prefetchRecord(c.changed[i + kRecordsAhead].record1);
        c.table2->prefetchRecord(c.changed[i + kRecordsAhead].record2);
    }
}

// Where a column stands: "both files", "file 1 only", "file 2 only".
QString columnPlace(const Column &column);

} // namespace Csv
