#include "tables/TableRows.h"

#include <algorithm>
#include <string>

#include "base/BothAtOnce.h"
#include "csv/RowsReport.h"

namespace Tables {

namespace {

bool inFile1Only(const Csv::Column &column)
{
    return column.index2 < 0;
}

} // namespace

QString statusMark(Status status)
{
    switch (status) {
    case Status::Removed:
        return QStringLiteral("-");
    case Status::Added:
        return QStringLiteral("+");
    case Status::Changed:
        return QStringLiteral("~");
    case Status::Duplicate:
        return QStringLiteral("!");
    case Status::Unchanged:
        break;
    }
    return QString();
}

std::vector<qsizetype> cellColumns(const Csv::RowComparison &comparison)
{
    const Csv::ColumnMapping &mapping = comparison.mapping;
    std::vector<qsizetype> columns(comparison.keyColumns.begin(), comparison.keyColumns.end());
    std::vector<char> isKey(mapping.columns.size(), 0);
    for (const qsizetype k : comparison.keyColumns)
        isKey[size_t(k)] = 1;
    std::vector<qsizetype> inFile2;
    for (size_t c = 0; c < mapping.columns.size(); ++c) {
        if (!isKey[c] && !inFile1Only(mapping.columns[c]))
            inFile2.push_back(qsizetype(c));
    }
    std::sort(inFile2.begin(), inFile2.end(), [&](qsizetype a, qsizetype b) {
        return mapping.columns[size_t(a)].index2 < mapping.columns[size_t(b)].index2;
    });
    columns.insert(columns.end(), inFile2.begin(), inFile2.end());
    for (size_t c = 0; c < mapping.columns.size(); ++c) {
        if (!isKey[c] && inFile1Only(mapping.columns[c]))
            columns.push_back(qsizetype(c));
    }
    return columns;
}

namespace {

// The rows of file 2's records [begin, end) (added, changed or unchanged;
// a duplicate key's rows come last), written from `out` on. `changed` and
// `added` are where the lists reach `begin`: both are in file 2's order.
bool fileTwoRows(const Csv::RowComparison &c, qint32 begin, qint32 end, size_t changed,
                 size_t added, DisplayRow *out, const std::atomic_bool *stop)
{
    constexpr qint32 kRowsBetweenChecks = qint32(1) << 16;
    for (qint32 r2 = begin; r2 < end; ++r2) {
        if (stop && (r2 - begin) % kRowsBetweenChecks == 0 && stop->load(std::memory_order_relaxed))
            return false;
        if (added < c.added.size() && c.added[added] == r2) {
            *out++ = {-1, r2, -1, Status::Added};
            ++added;
        } else if (changed < c.changed.size() && c.changed[changed].record2 == r2) {
            *out++ = {c.pairs[size_t(r2)], r2, qint32(changed), Status::Changed};
            ++changed;
        } else if (c.pairs[size_t(r2)] >= 0) {
            *out++ = {c.pairs[size_t(r2)], r2, -1, Status::Unchanged};
        }
    }
    return true;
}

// How many rows file 2's records [begin, end) make, and where the changed
// and added lists reach `begin`.
struct Stretch
{
    qint32 begin = 0;
    qint32 end = 0;
    size_t changed = 0;
    size_t added = 0;
    size_t rows = 0;
};

Stretch stretchOf(const Csv::RowComparison &c, qint32 begin, qint32 end)
{
    Stretch s{begin, end};
    s.changed = size_t(
        std::lower_bound(c.changed.begin(), c.changed.end(), begin,
                         [](const Csv::ChangedRow &row, qint32 r2) { return row.record2 < r2; })
        - c.changed.begin());
    s.added = size_t(std::lower_bound(c.added.begin(), c.added.end(), begin) - c.added.begin());
    const size_t addedEnd =
        size_t(std::lower_bound(c.added.begin(), c.added.end(), end) - c.added.begin());
    s.rows = addedEnd - s.added
             + size_t(std::count_if(c.pairs.begin() + begin, c.pairs.begin() + end,
                                    [](qint32 r1) { return r1 >= 0; }));
    return s;
}

} // namespace

std::vector<DisplayRow> displayRows(const Csv::RowComparison &c, const std::atomic_bool *stop)
{
    // File 2's records in two halves at once, each writing its own stretch.
    const qint32 size2 = qint32(c.pairs.size());
    constexpr qint32 kWorthTwoThreads = qint32(1) << 16;
    const qint32 middle = size2 >= kWorthTwoThreads ? size2 / 2 : size2;
    const Stretch halves[2] = {stretchOf(c, 0, middle), stretchOf(c, middle, size2)};
    size_t duplicates = 0;
    for (const Csv::DuplicateKey &d : c.duplicateKeys)
        duplicates += d.records1.size() + d.records2.size();
    const size_t total = c.removed.size() + halves[0].rows + halves[1].rows + duplicates;
    // In ordinary pages: the rows are written once and mostly read in
    // order, and a fresh large page can cost more to clear than it saves
    // (on a virtual machine, 0.1-0.2 GB/s against 2.2 GB/s for small ones).
    std::vector<DisplayRow> rows(total);
    DisplayRow *out = rows.data();
    for (const qint32 r1 : c.removed)
        *out++ = {r1, -1, -1, Status::Removed};
    const auto fill = [&](const Stretch &s, DisplayRow *at) {
        return fileTwoRows(c, s.begin, s.end, s.changed, s.added, at, stop);
    };
    bool done[2] = {true, true};
    const auto fillFirst = [&] { done[0] = fill(halves[0], out); };
    const auto fillSecond = [&] { done[1] = fill(halves[1], out + halves[0].rows); };
    if (halves[1].begin < halves[1].end)
        runBothAtOnce(fillFirst, fillSecond);
    else
        fillFirst();
    if (!done[0] || !done[1])
        return {};
    out += halves[0].rows + halves[1].rows;
    for (const Csv::DuplicateKey &d : c.duplicateKeys) {
        for (const qint32 r1 : d.records1)
            *out++ = {r1, -1, -1, Status::Duplicate};
        for (const qint32 r2 : d.records2)
            *out++ = {-1, r2, -1, Status::Duplicate};
    }
    return rows;
}

Counts countsOf(const std::vector<DisplayRow> &rows)
{
    Counts counts;
    for (const DisplayRow &row : rows)
        ++counts.of[int(row.status)];
    return counts;
}

std::shared_ptr<TableData> TableData::from(Csv::RowComparison comparison,
                                           const std::atomic_bool *stop)
{
    auto data = std::make_shared<TableData>();
    data->comparison = std::move(comparison);
    data->rows = displayRows(data->comparison, stop);
    data->columns = cellColumns(data->comparison);
    data->counts = countsOf(data->rows);
    const Csv::RowComparison &c = data->comparison;
    data->changesPerColumn.assign(c.mapping.columns.size(), 0);
    for (const qint32 column : c.changedColumnList)
        ++data->changesPerColumn[size_t(column)];
    return data;
}

bool TableData::nothingCompared() const
{
    return comparison.keyColumns.empty() && comparison.comparedColumns.empty();
}

std::vector<qsizetype> columnsByChanges(const TableData &data)
{
    std::vector<qsizetype> changed;
    for (const qsizetype column : data.columns) {
        if (data.changesPerColumn[size_t(column)] > 0)
            changed.push_back(column);
    }
    std::stable_sort(changed.begin(), changed.end(), [&](qsizetype a, qsizetype b) {
        return data.changesPerColumn[size_t(a)] > data.changesPerColumn[size_t(b)];
    });
    return changed;
}

QString changeSummary(const TableData &data, qsizetype limit)
{
    const std::vector<qsizetype> changed = columnsByChanges(data);
    QStringList parts;
    for (size_t i = 0; i < changed.size() && qsizetype(i) < limit; ++i) {
        parts << QStringLiteral("%1 %2").arg(
            data.comparison.mapping.label(changed[i]),
            Csv::withThousands(data.changesPerColumn[size_t(changed[i])]));
    }
    if (qsizetype(changed.size()) > limit)
        parts << QStringLiteral("%1 more").arg(qsizetype(changed.size()) - limit);
    return parts.join(QStringLiteral(" \u00b7 "));
}

std::vector<bool> columnsWithChanges(const TableData &data)
{
    std::vector<bool> shown(size_t(data.columnCount()), false);
    for (int c = 0; c < data.columnCount(); ++c) {
        const qsizetype mapped = data.mappingColumn(c);
        shown[size_t(c)] = c < kFixedColumns + int(data.comparison.keyColumns.size())
                           || data.changesPerColumn[size_t(mapped)] > 0;
    }
    return shown;
}

QByteArrayView TableData::cell(const DisplayRow &row, qsizetype column, Csv::Row &row1,
                               Csv::Row &row2) const
{
    // Only as far as the cell: the rest of the record is not read.
    const Csv::Column &mapped = comparison.mapping.columns[size_t(column)];
    if (row.status == Status::Removed || (row.record2 < 0 && row.record1 >= 0)) {
        comparison.table1->split(row.record1, row1, std::max<qsizetype>(mapped.index1 + 1, 1));
        return row1[mapped.index1];
    }
    comparison.table2->split(row.record2, row2, std::max<qsizetype>(mapped.index2 + 1, 1));
    return row2[mapped.index2];
}

bool TableData::changedAt(const DisplayRow &row, qsizetype column) const
{
    if (row.changed < 0)
        return false;
    const auto changed = comparison.changedColumns(comparison.changed[size_t(row.changed)]);
    return std::find(changed.begin(), changed.end(), qint32(column)) != changed.end();
}

QString TableData::header(int displayColumn) const
{
    switch (displayColumn) {
    case 0:
        return QStringLiteral("Status");
    case 1:
        return QStringLiteral("Line 1");
    case 2:
        return QStringLiteral("Line 2");
    default:
        return comparison.mapping.label(columns[size_t(displayColumn - kFixedColumns)]);
    }
}

std::optional<std::pair<qsizetype, int>> nextChangedCell(const TableData &data,
                                                         const std::vector<qint32> &visible,
                                                         qsizetype row, int column, bool forward)
{
    const qsizetype n = qsizetype(visible.size());
    if (n == 0)
        return std::nullopt;
    const int last = data.columnCount() - 1;
    // The changed cells of one row, in display order.
    const auto changedIn = [&](qsizetype at) {
        std::vector<int> cells;
        const DisplayRow &r = data.rows[size_t(visible[size_t(at)])];
        for (int c = kFixedColumns; c <= last && r.changed >= 0; ++c) {
            if (data.changedAt(r, data.columns[size_t(c - kFixedColumns)]))
                cells.push_back(c);
        }
        return cells;
    };
    // Without a current row the search starts at the first (or last) row.
    const bool current = row >= 0 && row < n;
    const qsizetype from = current ? row : (forward ? 0 : n - 1);
    for (qsizetype step = 0; step <= n; ++step) {
        const qsizetype at = ((forward ? from + step : from - step) % n + n) % n;
        const std::vector<int> cells = changedIn(at);
        if (cells.empty())
            continue;
        if (current && step == 0) { // only the cells past the current one
            const auto next = forward ? std::upper_bound(cells.begin(), cells.end(), column)
                                      : std::lower_bound(cells.begin(), cells.end(), column);
            if (forward && next != cells.end())
                return std::pair{at, *next};
            if (!forward && next != cells.begin())
                return std::pair{at, *(next - 1)};
            continue;
        }
        // step n is the current row again: the move wrapped round to it.
        return std::pair{at, forward ? cells.front() : cells.back()};
    }
    return std::nullopt;
}

std::pair<qsizetype, qsizetype> changePosition(const TableData &data,
                                               const std::vector<qint32> &visible, qsizetype row)
{
    qsizetype at = 0;
    qsizetype total = 0;
    for (size_t i = 0; i < visible.size(); ++i) {
        if (data.rows[size_t(visible[i])].status != Status::Changed)
            continue;
        ++total;
        if (qsizetype(i) <= row)
            at = total;
    }
    return {at, total};
}

namespace {

QString tsvField(const QString &text)
{
    if (!text.contains(u'\t') && !text.contains(u'\n') && !text.contains(u'\r')
        && !text.contains(u'"'))
        return text;
    return u'"' + QString(text).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

} // namespace

QString tabSeparated(const TableData &data, const std::vector<qint32> &rows,
                     const std::vector<int> &displayColumns)
{
    std::vector<int> columns = displayColumns;
    if (columns.empty()) {
        for (int c = 0; c < data.columnCount(); ++c)
            columns.push_back(c);
    }
    QStringList lines;
    QStringList header;
    for (const int c : columns)
        header << tsvField(data.header(c));
    lines << header.join(u'\t');
    Csv::Row row1;
    Csv::Row row2;
    for (const qint32 i : rows) {
        const DisplayRow &row = data.rows[size_t(i)];
        QStringList cells;
        for (const int c : columns) {
            if (c == 0) {
                cells << statusMark(row.status);
            } else if (c == 1 || c == 2) {
                const qint32 record = c == 1 ? row.record1 : row.record2;
                const Csv::Table &table =
                    c == 1 ? *data.comparison.table1 : *data.comparison.table2;
                cells << (record < 0 ? QString() : QString::number(table.line(record)));
            } else {
                const qsizetype column = data.mappingColumn(c);
                QString text = QString::fromUtf8(data.cell(row, column, row1, row2));
                if (data.changedAt(row, column)) {
                    data.comparison.table1->split(row.record1, row1);
                    const qsizetype index1 = data.comparison.mapping.columns[size_t(column)].index1;
                    text = QString::fromUtf8(row1[index1]) + QStringLiteral(" \u2192 ") + text;
                }
                cells << tsvField(text);
            }
        }
        lines << cells.join(u'\t');
    }
    return lines.join(u'\n') + u'\n';
}

QString visibleText(QByteArrayView cell)
{
    const bool plain = std::all_of(cell.begin(), cell.end(),
                                   [](char c) { return uchar(c) >= 0x20 && uchar(c) < 0x7F; });
    if (plain)
        return QString::fromUtf8(cell);
    // The report's escapes, but a backslash stays one: a cell is no report line.
    QByteArray out;
    out.reserve(cell.size());
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = cell.indexOf('\\', from);
        out += Csv::escapedForText(cell.sliced(from, (at < 0 ? cell.size() : at) - from));
        if (at < 0)
            break;
        out += '\\';
        from = at + 1;
    }
    return QString::fromUtf8(out);
}

Difference differenceOf(const QString &oldValue, const QString &newValue)
{
    const qsizetype shorter = std::min(oldValue.size(), newValue.size());
    qsizetype start = 0;
    while (start < shorter && oldValue[start] == newValue[start])
        ++start;
    qsizetype end = 0;
    while (end < shorter - start
           && oldValue[oldValue.size() - 1 - end] == newValue[newValue.size() - 1 - end])
        ++end;
    // Never split a surrogate pair.
    if (start > 0 && QChar::isHighSurrogate(newValue[start - 1].unicode()))
        --start;
    if (end > 0 && QChar::isLowSurrogate(newValue[newValue.size() - end].unicode()))
        --end;
    return {start, oldValue.size() - start - end, newValue.size() - start - end};
}

} // namespace Tables
