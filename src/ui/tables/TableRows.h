#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "csv/RowComparison.h"

// What the table window shows of a row comparison, without a widget: the
// rows with their status, the columns in their order, filters, find, sort
// and the way from one changed cell to the next.
namespace Tables {

// Duplicate: a row whose key occurs more than once in a file; such rows are
// set aside, not matched.
enum class Status : quint8 { Removed, Added, Changed, Unchanged, Duplicate };
inline constexpr int kStatusCount = 5;

// "-", "+", "~", "" (unchanged) or "!" (duplicate key): the status as the
// reports write it, so that copied rows read as a report's.
QString statusMark(Status status);

struct DisplayRow
{
    qint32 record1 = -1; // -1: not in file 1
    qint32 record2 = -1;
    qint32 changed = -1; // index into RowComparison::changed
    Status status = Status::Unchanged;
};

// The table's columns: status, line in file 1, line in file 2, then the
// comparison's columns (mapping indices): the key, then file 2's columns in
// its order, then those only file 1 has.
inline constexpr int kFixedColumns = 3;
std::vector<qsizetype> cellColumns(const Csv::RowComparison &comparison);

// Every row of the comparison: removed rows in file 1's order, then file 2's
// rows in its order, then the rows of each duplicated key (file 1's, then
// file 2's). Needs the pairs kept. When no column was compared and no key
// given, nothing can match: file 1's rows show as removed, file 2's as added.
// When `stop` turns true the work ends early and its answer means nothing.
std::vector<DisplayRow> displayRows(const Csv::RowComparison &comparison,
                                    const std::atomic_bool *stop = nullptr);

struct Counts
{
    qsizetype of[kStatusCount] = {0, 0, 0, 0};
};
Counts countsOf(const std::vector<DisplayRow> &rows);

// The table's content: the comparison, its rows and columns. Read on
// worker threads (filter, sort) while the window shows it.
struct TableData
{
    Csv::RowComparison comparison;
    std::vector<DisplayRow> rows;
    std::vector<qsizetype> columns; // cellColumns()
    Counts counts;
    // For each mapping column, the changed rows that differ in it.
    std::vector<qsizetype> changesPerColumn;

    // When `stop` turns true the work ends early and its answer means nothing.
    static std::shared_ptr<TableData> from(Csv::RowComparison comparison,
                                           const std::atomic_bool *stop = nullptr);
    // The cell a display row shows in mapping column `column`: file 1's for a
    // removed row, file 2's otherwise; `row1`/`row2` are scratch rows, split
    // only as far as that cell.
    QByteArrayView cell(const DisplayRow &row, qsizetype column, Csv::Row &row1,
                        Csv::Row &row2) const;
    // For a changed row's column: whether it changed, and its old value.
    bool changedAt(const DisplayRow &row, qsizetype column) const;
    QString header(int displayColumn) const;
    int columnCount() const { return kFixedColumns + int(columns.size()); }
    // The mapping column a display column shows; -1 for status and lines.
    qsizetype mappingColumn(int displayColumn) const
    {
        return displayColumn < kFixedColumns ? -1 : columns[size_t(displayColumn - kFixedColumns)];
    }
    // True when no column could be compared and no key matched rows.
    bool nothingCompared() const;
};

// The mapping columns with a change, most changes first, ties in display order.
std::vector<qsizetype> columnsByChanges(const TableData &data);

// Changes per column, most first, ties in display order: "city 42 ·
// balance 41 · status 3"; at most `limit` columns named. Empty: no change.
QString changeSummary(const TableData &data, qsizetype limit = 12);

// The columns (display indices) whose cells changed in some row; the status,
// line and key columns always.
std::vector<bool> columnsWithChanges(const TableData &data);

// The next (or previous) changed cell after (row, column) among `visible`
// (positions in it, display columns), wrapping round; none when no row changed.
std::optional<std::pair<qsizetype, int>> nextChangedCell(const TableData &data,
                                                         const std::vector<qint32> &visible,
                                                         qsizetype row, int column, bool forward);

// Which changed row `row` (a position in `visible`) is among the visible
// changed rows, counted from 1, and how many there are: "Change 3 of 198".
std::pair<qsizetype, qsizetype> changePosition(const TableData &data,
                                               const std::vector<qint32> &visible, qsizetype row);

// The rows as tab-separated text with a header line, for the clipboard: the
// columns given (display indices, in order), a changed cell as "old → new",
// the status as the reports write it. No columns given: all of them.
QString tabSeparated(const TableData &data, const std::vector<qint32> &rows,
                     const std::vector<int> &displayColumns = {});

// A cell's text as the table shows it: control characters and invisible or
// format characters (U+202E, U+200B, …) written as escapes ("\u202e",
// "\n"), as the text report does, so that no cell can hide or reorder text.
QString visibleText(QByteArrayView cell);

// Where two values differ: the common start and end left out, as UTF-16
// offsets of each (start, length).
struct Difference
{
    qsizetype start = 0;
    qsizetype oldLength = 0;
    qsizetype newLength = 0;
};
Difference differenceOf(const QString &oldValue, const QString &newValue);

} // namespace Tables
