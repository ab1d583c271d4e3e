#include "tables/RowFilter.h"

#include <algorithm>
#include <deque>
#include <string>
#include <string_view>

namespace Tables {

namespace {

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
}

// `needle` already in lower case.
bool containsIgnoringCase(QByteArrayView haystack, const QByteArray &needle)
{
    if (needle.isEmpty())
        return true;
    const qsizetype last = haystack.size() - needle.size();
    for (qsizetype i = 0; i <= last; ++i) {
        if (lowerAscii(haystack[i]) != needle[0])
            continue;
        qsizetype k = 1;
        while (k < needle.size() && lowerAscii(haystack[i + k]) == needle[k])
            ++k;
        if (k == needle.size())
            return true;
    }
    return false;
}

// A sort key: a number when the cell reads as one, else its bytes (a view of
// the table's, or of `kept` for a cell that had to be unquoted). 24 bytes, so
// that sorting a million rows costs little memory.
struct SortKey
{
    double number = 0;
    const char *text = nullptr;
    qint32 size = 0;
    qint32 row = 0;
    bool isNumber = false;
};

SortKey sortKeyOf(QByteArrayView cell, qint32 row, QByteArrayView tableBytes,
                  std::deque<std::string> &kept)
{
    SortKey key;
    key.row = row;
    key.isNumber = Csv::numberValue(cell, key.number);
    if (key.isNumber)
        return key;
    const bool inTable =
        cell.data() >= tableBytes.data() && cell.data() < tableBytes.data() + tableBytes.size();
    if (!inTable && !cell.isEmpty()) {
        kept.emplace_back(cell.data(), size_t(cell.size()));
        cell = QByteArrayView(kept.back().data(), qsizetype(kept.back().size()));
    }
    key.text = cell.data();
    key.size = qint32(std::min<qsizetype>(cell.size(), INT32_MAX));
    return key;
}

bool before(const SortKey &a, const SortKey &b)
{
    if (a.isNumber != b.isNumber)
        return a.isNumber;
    if (a.isNumber)
        return a.number < b.number;
    return std::string_view(a.text, size_t(a.size)) < std::string_view(b.text, size_t(b.size));
}

// Checks the stop flag once in so many rows: often enough to end within a
// keystroke, seldom enough to cost nothing.
constexpr size_t kRowsBetweenChecks = 4096;

} // namespace

std::vector<qint32> visibleRows(const TableData &data, const RowFilter &filter,
                                const std::atomic_bool *stop)
{
    const QByteArray needle = filter.find.toUtf8().toLower();
    const QByteArray value =
        filter.valueEquals ? filter.value.toUtf8() : filter.value.toUtf8().toLower();
    const bool byValue = filter.valueColumn >= 0
                         && filter.valueColumn < qsizetype(data.comparison.mapping.columns.size());
    const bool byChange = filter.changedIn >= 0
                          && filter.changedIn < qsizetype(data.comparison.mapping.columns.size());
    std::vector<qint32> visible;
    Csv::Row row1;
    Csv::Row row2;
    for (size_t i = 0; i < data.rows.size(); ++i) {
        if (stop && i % kRowsBetweenChecks == 0 && stop->load(std::memory_order_relaxed))
            return {};
        const DisplayRow &row = data.rows[i];
        if (!filter.shown[size_t(row.status)])
            continue;
        if (byChange && !data.changedAt(row, filter.changedIn))
            continue;
        if (byValue) {
            const QByteArrayView cell = data.cell(row, filter.valueColumn, row1, row2);
            if (filter.valueEquals ? cell != value : !containsIgnoringCase(cell, value))
                continue;
        }
        if (!needle.isEmpty()) {
            // The cells the row shows: file 2's, or file 1's for a row only there.
            const bool fromFile2 = row.record2 >= 0;
            const Csv::Table &table = fromFile2 ? *data.comparison.table2 : *data.comparison.table1;
            table.split(fromFile2 ? row.record2 : row.record1, row2);
            bool found = false;
            for (qsizetype k = 0; k < row2.size() && !found; ++k)
                found = containsIgnoringCase(row2[k], needle);
            if (!found)
                continue;
        }
        visible.push_back(qint32(i));
    }
    if (filter.sortColumn >= 0 && filter.sortColumn < data.columnCount())
        sortRows(data, visible, filter.sortColumn, filter.descending);
    return visible;
}

void sortRows(const TableData &data, std::vector<qint32> &visible, int displayColumn,
              bool descending)
{
    std::vector<SortKey> keys;
    keys.reserve(visible.size());
    std::deque<std::string> kept;
    Csv::Row row1;
    Csv::Row row2;
    for (const qint32 i : visible) {
        const DisplayRow &row = data.rows[size_t(i)];
        SortKey key;
        key.row = i;
        key.isNumber = true;
        if (displayColumn == 0)
            key.number = double(row.status);
        else if (displayColumn == 1)
            key.number = row.record1 < 0 ? -1 : double(data.comparison.table1->line(row.record1));
        else if (displayColumn == 2)
            key.number = row.record2 < 0 ? -1 : double(data.comparison.table2->line(row.record2));
        else
            key = sortKeyOf(
                data.cell(row, data.columns[size_t(displayColumn - kFixedColumns)], row1, row2), i,
                (row.record2 < 0 ? data.comparison.table1 : data.comparison.table2)->bytes(), kept);
        keys.push_back(key);
    }
    std::stable_sort(keys.begin(), keys.end(), [descending](const SortKey &a, const SortKey &b) {
        return descending ? before(b, a) : before(a, b);
    });
    for (size_t k = 0; k < keys.size(); ++k)
        visible[k] = keys[k].row;
}

qsizetype rowsOfShownStatuses(const TableData &data, const RowFilter &filter)
{
    qsizetype rows = 0;
    for (int s = 0; s < kStatusCount; ++s)
        rows += filter.shown[size_t(s)] ? data.counts.of[s] : 0;
    return rows;
}

} // namespace Tables
