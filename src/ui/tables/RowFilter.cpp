#include "tables/RowFilter.h"

#include <array>

#include "tables/FoldedNeedle.h"
#include "tables/RowOrder.h"
#include "tables/TwoHalves.h"

namespace Tables {

namespace {

// Whether a needle found in a record's bytes as the file holds them is one
// found in a cell: so when it holds no quote, delimiter or line break, for
// then it can neither span two cells nor meet a doubled quote.
bool findableInRawRecords(const QByteArray &needle, char delimiter)
{
    for (const char c : needle) {
        if (c == '"' || c == delimiter || c == '\r' || c == '\n')
            return false;
    }
    return true;
}

// Checks the stop flag once in so many rows: often enough to end within a
// keystroke, seldom enough to cost nothing.
constexpr size_t kRowsBetweenChecks = 4096;

// Whether row i passes every filter but the sort.
class RowTest
{
public:
    RowTest(const TableData &data, const RowFilter &filter)
        : m_data(data), m_filter(filter), m_needle(filter.find.toUtf8().toLower()),
          m_value(filter.valueEquals ? filter.value.toUtf8() : filter.value.toUtf8().toLower()),
          m_valueNeedle(m_value),
          m_byValue(filter.valueColumn >= 0
                    && filter.valueColumn < qsizetype(data.comparison.mapping.columns.size())),
          m_byChange(filter.changedIn >= 0
                     && filter.changedIn < qsizetype(data.comparison.mapping.columns.size())),
          m_raw{findableInRawRecords(m_needle.text(), data.comparison.table1->delimiter()),
                findableInRawRecords(m_needle.text(), data.comparison.table2->delimiter())}
    {
    }

    bool passes(size_t i)
    {
        const DisplayRow &row = m_data.rows[i];
        if (!m_filter.shown[size_t(row.status)])
            return false;
        if (m_byChange && !m_data.changedAt(row, m_filter.changedIn))
            return false;
        if (m_byValue) {
            const QByteArrayView cell = m_data.cell(row, m_filter.valueColumn, m_row1, m_row2);
            if (m_filter.valueEquals ? cell != m_value : !m_valueNeedle.in(cell))
                return false;
        }
        if (m_needle.isEmpty())
            return true;
        // The cells the row shows: file 2's, or file 1's for a row only there.
        const bool fromFile2 = row.record2 >= 0;
        const Csv::Table &table = fromFile2 ? *m_data.comparison.table2 : *m_data.comparison.table1;
        const qint32 record = fromFile2 ? row.record2 : row.record1;
        if (m_raw[fromFile2])
            return m_needle.in(table.rawRecord(record));
        table.split(record, m_row2);
        for (qsizetype k = 0; k < m_row2.size(); ++k) {
            if (m_needle.in(m_row2[k]))
                return true;
        }
        return false;
    }

private:
    const TableData &m_data;
    const RowFilter &m_filter;
    const FoldedNeedle m_needle;
    const QByteArray m_value;
    const FoldedNeedle m_valueNeedle; // m_value, when a part of the cell is enough
    const bool m_byValue;
    const bool m_byChange;
    const std::array<bool, 2> m_raw; // the needle is found in file 1's, 2's raw records
    Csv::Row m_row1;
    Csv::Row m_row2;
};

} // namespace

std::vector<qint32> visibleRows(const TableData &data, const RowFilter &filter,
                                const std::atomic_bool *stop)
{
    auto halves = inTwoHalves(data.rows.size(), [&](size_t begin, size_t end) {
        RowTest test(data, filter);
        std::vector<qint32> passed;
        for (size_t i = begin; i < end; ++i) {
            if (stop && (i - begin) % kRowsBetweenChecks == 0
                && stop->load(std::memory_order_relaxed))
                return std::vector<qint32>{};
            if (test.passes(i))
                passed.push_back(qint32(i));
        }
        return passed;
    });
    if (stop && stop->load(std::memory_order_relaxed))
        return {};
    std::vector<qint32> visible = std::move(halves[0]);
    visible.insert(visible.end(), halves[1].begin(), halves[1].end());
    if (filter.sortColumn >= 0 && filter.sortColumn < data.columnCount())
        sortRows(data, visible, filter.sortColumn, filter.descending);
    return visible;
}

qsizetype rowsOfShownStatuses(const TableData &data, const RowFilter &filter)
{
    qsizetype rows = 0;
    for (int s = 0; s < kStatusCount; ++s)
        rows += filter.shown[size_t(s)] ? data.counts.of[s] : 0;
    return rows;
}

} // namespace Tables
