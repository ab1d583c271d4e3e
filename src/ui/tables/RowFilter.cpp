#include "tables/RowFilter.h"

#include <algorithm>
#include <array>
#include <deque>
#include <future>
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
// the table's, or of `kept` for a cell that had to be unquoted) and their
// first eight as one number, which settles most comparisons without a visit
// to the bytes. 32 bytes, so that sorting a million rows costs little memory.
struct SortKey
{
    double number = 0;
    quint64 prefix = 0;
    const char *text = nullptr;
    qint32 size = 0;
    qint32 row = 0;
    bool isNumber = false;
};

// The first eight bytes, the first the highest, short ones padded with zeros:
// compared as numbers, they order as the bytes do.
quint64 prefixOf(QByteArrayView text)
{
    quint64 prefix = 0;
    const qsizetype n = std::min<qsizetype>(text.size(), 8);
    for (qsizetype i = 0; i < 8; ++i)
        prefix = (prefix << 8) | (i < n ? quint64(uchar(text[i])) : 0);
    return prefix;
}

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
    key.prefix = prefixOf(cell.first(key.size));
    return key;
}

bool before(const SortKey &a, const SortKey &b)
{
    if (a.isNumber != b.isNumber)
        return a.isNumber;
    if (a.isNumber)
        return a.number < b.number;
    if (a.prefix != b.prefix)
        return a.prefix < b.prefix;
    if (a.size <= 8 && b.size <= 8) // the prefixes hold them whole
        return a.size < b.size;
    return std::string_view(a.text, size_t(a.size)) < std::string_view(b.text, size_t(b.size));
}

// Checks the stop flag once in so many rows: often enough to end within a
// keystroke, seldom enough to cost nothing.
constexpr size_t kRowsBetweenChecks = 4096;

// Below this many rows a second thread costs more than it saves.
constexpr size_t kRowsWorthTwoThreads = 1 << 16;

// `work(begin, end)` over [0, count), in two halves at once when that pays;
// the halves' answers in order.
template <typename Work>
auto inTwoHalves(size_t count, Work work)
{
    using Answer = decltype(work(size_t(0), count));
    std::array<Answer, 2> halves;
    if (count < kRowsWorthTwoThreads) {
        halves[0] = work(size_t(0), count);
        return halves;
    }
    const size_t middle = count / 2;
    auto second = std::async(std::launch::async, [&] { return work(middle, count); });
    halves[0] = work(size_t(0), middle);
    halves[1] = second.get();
    return halves;
}

// Whether row i passes every filter but the sort.
class RowTest
{
public:
    RowTest(const TableData &data, const RowFilter &filter)
        : m_data(data), m_filter(filter), m_needle(filter.find.toUtf8().toLower()),
          m_value(filter.valueEquals ? filter.value.toUtf8() : filter.value.toUtf8().toLower()),
          m_byValue(filter.valueColumn >= 0
                    && filter.valueColumn < qsizetype(data.comparison.mapping.columns.size())),
          m_byChange(filter.changedIn >= 0
                     && filter.changedIn < qsizetype(data.comparison.mapping.columns.size()))
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
            if (m_filter.valueEquals ? cell != m_value : !containsIgnoringCase(cell, m_value))
                return false;
        }
        if (m_needle.isEmpty())
            return true;
        // The cells the row shows: file 2's, or file 1's for a row only there.
        const bool fromFile2 = row.record2 >= 0;
        const Csv::Table &table = fromFile2 ? *m_data.comparison.table2 : *m_data.comparison.table1;
        table.split(fromFile2 ? row.record2 : row.record1, m_row2);
        for (qsizetype k = 0; k < m_row2.size(); ++k) {
            if (containsIgnoringCase(m_row2[k], m_needle))
                return true;
        }
        return false;
    }

private:
    const TableData &m_data;
    const RowFilter &m_filter;
    const QByteArray m_needle;
    const QByteArray m_value;
    const bool m_byValue;
    const bool m_byChange;
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

namespace {

SortKey keyOf(const TableData &data, qint32 i, int displayColumn, Csv::Row &row1, Csv::Row &row2,
              std::deque<std::string> &kept)
{
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
    return key;
}

} // namespace

// Each half's keys made and sorted on a thread of its own, then merged: the
// merge takes the first half's key on a tie, so ties keep their order.
void sortRows(const TableData &data, std::vector<qint32> &visible, int displayColumn,
              bool descending)
{
    const auto order = [descending](const SortKey &a, const SortKey &b) {
        return descending ? before(b, a) : before(a, b);
    };
    std::array<std::deque<std::string>, 2> kept;
    auto halves = inTwoHalves(visible.size(), [&](size_t begin, size_t end) {
        Csv::Row row1;
        Csv::Row row2;
        std::vector<SortKey> keys;
        keys.reserve(end - begin);
        for (size_t k = begin; k < end; ++k)
            keys.push_back(keyOf(data, visible[k], displayColumn, row1, row2, kept[begin > 0]));
        std::stable_sort(keys.begin(), keys.end(), order);
        return keys;
    });
    const std::vector<SortKey> &first = halves[0];
    const std::vector<SortKey> &second = halves[1];
    size_t a = 0;
    size_t b = 0;
    for (qint32 &row : visible)
        row = (b < second.size() && (a == first.size() || order(second[b], first[a])))
                  ? second[b++].row
                  : first[a++].row;
}

qsizetype rowsOfShownStatuses(const TableData &data, const RowFilter &filter)
{
    qsizetype rows = 0;
    for (int s = 0; s < kStatusCount; ++s)
        rows += filter.shown[size_t(s)] ? data.counts.of[s] : 0;
    return rows;
}

} // namespace Tables
