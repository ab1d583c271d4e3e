#include "tables/RowOrder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <deque>
#include <memory>
#include <string>
#include <string_view>

#include "csv/CellRules.h"
#include "tables/TableRows.h"
#include "tables/TwoHalves.h"

namespace Tables {

namespace {

// A row's cell as a sort reads it: a number when the cell reads as one
// (size < 0), else its bytes, a view of the table's or of `kept` for a cell
// that had to be unquoted.
struct SortCell
{
    double number = 0;
    const char *text = nullptr;
    qint32 size = -1;
    qint32 row = 0;
};

// A cell's place in the order as one number: its top bit puts numbers
// before text, the other 63 bits hold the number's value or the text's
// first bytes. Most rows are placed by it alone, and a radix sort needs
// nothing else; equal ranks are settled by their cells (`at`, in the half's
// list of cells).
struct Ranked
{
    quint64 rank;
    qint32 at;
};

constexpr quint64 kTopBit = quint64(1) << 63;

// A double's bits as a number that orders as the doubles do (no NaN here:
// cells that read as numbers are finite, and -0 reads as 0).
quint64 orderedBits(double value)
{
    const auto bits = std::bit_cast<quint64>(value);
    return (bits & kTopBit) ? ~bits : bits | kTopBit;
}

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

quint64 rankOf(const SortCell &cell, bool descending)
{
    const quint64 rank = cell.size < 0
                             ? orderedBits(cell.number) >> 1
                             : kTopBit | (prefixOf(QByteArrayView(cell.text, cell.size)) >> 1);
    return descending ? ~rank : rank;
}

// Whether a comes before b when their ranks are equal, and so their kinds.
bool cellBefore(const SortCell &a, const SortCell &b)
{
    if (a.size < 0)
        return a.number < b.number;
    return std::string_view(a.text, size_t(a.size)) < std::string_view(b.text, size_t(b.size));
}

SortCell cellOf(const TableData &data, qint32 i, int displayColumn, Csv::Row &row1, Csv::Row &row2,
                std::deque<std::string> &kept)
{
    const DisplayRow &row = data.rows[size_t(i)];
    SortCell cell;
    cell.row = i;
    if (displayColumn == 0) {
        cell.number = double(row.status);
        return cell;
    }
    if (displayColumn == 1) {
        cell.number = row.record1 < 0 ? -1 : double(data.comparison.table1->line(row.record1));
        return cell;
    }
    if (displayColumn == 2) {
        cell.number = row.record2 < 0 ? -1 : double(data.comparison.table2->line(row.record2));
        return cell;
    }
    QByteArrayView text =
        data.cell(row, data.columns[size_t(displayColumn - kFixedColumns)], row1, row2);
    if (Csv::numberValue(text, cell.number))
        return cell;
    const QByteArrayView table =
        (row.record2 < 0 ? data.comparison.table1 : data.comparison.table2)->bytes();
    const bool inTable = text.data() >= table.data() && text.data() < table.data() + table.size();
    if (!inTable && !text.isEmpty()) {
        kept.emplace_back(text.data(), size_t(text.size()));
        text = QByteArrayView(kept.back().data(), qsizetype(kept.back().size()));
    }
    cell.text = text.data();
    cell.size = qint32(std::min<qsizetype>(text.size(), INT32_MAX));
    return cell;
}

// Least significant byte first, each pass stable; a byte every rank shares
// costs no pass.
void radixSort(std::vector<Ranked> &items)
{
    const size_t n = items.size();
    if (n < 2)
        return;
    std::array<std::array<size_t, 256>, 8> counts{};
    for (const Ranked &item : items) {
        for (size_t d = 0; d < 8; ++d)
            ++counts[d][(item.rank >> (8 * d)) & 0xff];
    }
    auto spare = std::make_unique_for_overwrite<Ranked[]>(n);
    Ranked *from = items.data();
    Ranked *to = spare.get();
    for (size_t d = 0; d < 8; ++d) {
        std::array<size_t, 256> &place = counts[d];
        if (place[(from[0].rank >> (8 * d)) & 0xff] == n)
            continue;
        size_t sum = 0;
        for (size_t &count : place)
            sum += std::exchange(count, sum);
        for (size_t i = 0; i < n; ++i)
            to[place[(from[i].rank >> (8 * d)) & 0xff]++] = from[i];
        std::swap(from, to);
    }
    if (from != items.data())
        std::copy(from, from + n, items.data());
}

// One half's rows, ranked and sorted.
struct SortedHalf
{
    std::vector<SortCell> cells;
    std::vector<Ranked> order;
};

} // namespace

// Each half's cells ranked and sorted on a thread of its own, then merged:
// the merge takes the first half's row on a tie, so ties keep their order.
void sortRows(const TableData &data, std::vector<qint32> &visible, int displayColumn,
              bool descending)
{
    const auto tieBefore = [descending](const SortCell &a, const SortCell &b) {
        return descending ? cellBefore(b, a) : cellBefore(a, b);
    };
    std::array<std::deque<std::string>, 2> kept;
    auto halves = inTwoHalves(visible.size(), [&](size_t begin, size_t end) {
        Csv::Row row1;
        Csv::Row row2;
        SortedHalf half;
        half.cells.reserve(end - begin);
        half.order.reserve(end - begin);
        for (size_t k = begin; k < end; ++k) {
            half.cells.push_back(
                cellOf(data, visible[k], displayColumn, row1, row2, kept[begin > 0]));
            half.order.push_back({rankOf(half.cells.back(), descending), qint32(k - begin)});
        }
        radixSort(half.order);
        // Runs of equal ranks, still in their rows' order, settled by their cells.
        const auto byCell = [&](const Ranked &a, const Ranked &b) {
            return tieBefore(half.cells[size_t(a.at)], half.cells[size_t(b.at)]);
        };
        for (auto run = half.order.begin(); run != half.order.end();) {
            const auto next = std::find_if(run + 1, half.order.end(), [&](const Ranked &item) {
                return item.rank != run->rank;
            });
            if (!std::is_sorted(run, next, byCell))
                std::stable_sort(run, next, byCell);
            run = next;
        }
        return half;
    });
    const SortedHalf &first = halves[0];
    const SortedHalf &second = halves[1];
    const auto secondFirst = [&](const Ranked &b, const Ranked &a) {
        if (b.rank != a.rank)
            return b.rank < a.rank;
        return tieBefore(second.cells[size_t(b.at)], first.cells[size_t(a.at)]);
    };
    size_t a = 0;
    size_t b = 0;
    for (qint32 &row : visible) {
        const bool fromSecond =
            b < second.order.size()
            && (a == first.order.size() || secondFirst(second.order[b], first.order[a]));
        row = fromSecond ? second.cells[size_t(second.order[b++].at)].row
                         : first.cells[size_t(first.order[a++].at)].row;
    }
}

} // namespace Tables
