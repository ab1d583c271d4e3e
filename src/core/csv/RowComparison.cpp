#include "csv/RowComparison.h"

#include <algorithm>
#include <atomic>
#include <future>

#include "csv/LargeArrays.h"
#include "csv/RowIndex.h"

namespace Csv {

namespace {

// The cells of one row that a comparison looks at, in one file's positions.
struct RowView
{
    const Table &table;
    std::vector<qsizetype> columns;
};

std::vector<size_t> rowHashes(const RowView &view, qint32 first, const CellRules &rules)
{
    std::vector<size_t> hashes = largeArray(size_t(view.table.size()), size_t(0));
    for (qint32 r = first; r < qint32(view.table.size()); ++r) {
        size_t hash = 0;
        for (const qsizetype column : view.columns)
            hash = combineHash(hash, cellHash(view.table.cell(r, column), rules));
        hashes[size_t(r)] = hash;
    }
    return hashes;
}

bool sameCells(const RowView &a, qint32 ra, const RowView &b, qint32 rb, const CellRules &rules)
{
    for (size_t k = 0; k < a.columns.size(); ++k) {
        if (!cellsEqual(a.table.cell(ra, a.columns[k]), b.table.cell(rb, b.columns[k]), rules))
            return false;
    }
    return true;
}

// Hashes the rows of `view` and groups the equal ones.
void indexRows(const RowView &view, qint32 first, const CellRules &rules,
               std::vector<size_t> &hashes, RowIndex &index)
{
    hashes = rowHashes(view, first, rules);
    index.build(hashes, first,
                [&](qint32 a, qint32 b) { return sameCells(view, a, view, b, rules); });
}

std::vector<qint32> chain(const RowIndex &index, qint32 group)
{
    std::vector<qint32> records;
    if (group < 0)
        return records;
    for (qint32 r = index.group(group).head; r >= 0; r = index.next(r))
        records.push_back(r);
    return records;
}

RowView viewOf(const Table &table, const ColumnMapping &mapping,
               const std::vector<qsizetype> &columns, bool file1)
{
    RowView view{table, {}};
    for (const qsizetype c : columns) {
        const Column &column = mapping.columns[size_t(c)];
        view.columns.push_back(file1 ? column.index1 : column.index2);
    }
    return view;
}

// Runs work(begin, end, part) on two halves of [begin, end) at once. What the
// second half throws (out of memory) reaches the caller.
template <typename Work>
void inTwoParts(qint32 begin, qint32 end, Work &&work)
{
    const qint32 middle = begin + (end - begin) / 2;
    auto second = std::async(std::launch::async, [&] { work(middle, end, 1); });
    work(begin, middle, 0);
    second.get();
}

// The group of file 1 whose rows equal (under `view1`/`view2`) each row of file 2,
// or -1; the lookups run on two threads, with the memory they need fetched ahead.
// found(r2, group1, part) runs right after each lookup, while file 1's row is
// still in the cache.
template <typename Found>
std::vector<qint32> findInFile1(const RowIndex &index1, const RowView &view1, const RowView &view2,
                                const std::vector<size_t> &hashes2, qint32 first,
                                const CellRules &rules, Found &&found)
{
    const qint32 size2 = qint32(view2.table.size());
    std::vector<qint32> groups = largeArray(hashes2.size(), qint32(-1));
    inTwoParts(first, size2, [&](qint32 begin, qint32 end, int part) {
        // How many rows ahead each piece is fetched: the group, then file 1's
        // record entry, its cells and its text, each step needing the last one.
        constexpr qint32 kAhead[] = {40, 30, 20, 10};
        for (qint32 r2 = begin; r2 < end; ++r2) {
            if (r2 + kAhead[0] < end)
                index1.prefetch(hashes2[size_t(r2 + kAhead[0])]);
            for (int step = 0; step < 3; ++step) {
                if (r2 + kAhead[step + 1] >= end)
                    continue;
                const qint32 head = index1.likelyHead(hashes2[size_t(r2 + kAhead[step + 1])]);
                if (head >= 0)
                    view1.table.prefetch(head, step);
            }
            const qint32 group1 = index1.find(hashes2[size_t(r2)], [&](qint32 r1) {
                return sameCells(view1, r1, view2, r2, rules);
            });
            groups[size_t(r2)] = group1;
            found(r2, group1, part);
        }
    });
    return groups;
}

void compareByKey(RowComparison &result, qint32 first, const CellRules &rules)
{
    const Table &t1 = *result.table1;
    const Table &t2 = *result.table2;
    const RowView key1 = viewOf(t1, result.mapping, result.keyColumns, true);
    const RowView key2 = viewOf(t2, result.mapping, result.keyColumns, false);
    const RowView cells1 = viewOf(t1, result.mapping, result.comparedColumns, true);
    const RowView cells2 = viewOf(t2, result.mapping, result.comparedColumns, false);

    std::vector<size_t> hashes1;
    std::vector<size_t> hashes2;
    RowIndex index1;
    RowIndex index2;
    auto second =
        std::async(std::launch::async, [&] { indexRows(key2, first, rules, hashes2, index2); });
    indexRows(key1, first, rules, hashes1, index1);
    second.get();

    // What each row of file 2 still needs once paired: nothing, to be listed
    // as added, or to open the list of its duplicate key.
    enum : char { Paired, Added, DuplicateHead, Duplicate };
    std::vector<char> status2(size_t(t2.size()), Paired);
    // The rows of file 1 whose key file 2 has.
    std::vector<char> matched1(size_t(t1.size()), 0);
    std::vector<ChangedRow> changedParts[2];
    const auto pairRow = [&](qint32 r2, qint32 group1, int part) {
        index2.prefetchGroupOf(r2 + 8);
        const RowIndex::Group &group2 = index2.group(index2.groupOf(r2));
        if (group1 >= 0) {
            for (qint32 r1 = index1.group(group1).head; r1 >= 0; r1 = index1.next(r1))
                std::atomic_ref<char>(matched1[size_t(r1)]).store(1, std::memory_order_relaxed);
        }
        if (group2.count > 1 || (group1 >= 0 && index1.group(group1).count > 1)) {
            status2[size_t(r2)] = group2.head == r2 ? DuplicateHead : Duplicate;
            return;
        }
        if (group1 < 0) {
            status2[size_t(r2)] = Added;
            return;
        }
        const qint32 r1 = index1.group(group1).head;
        ChangedRow change{r1, r2, {}};
        for (size_t k = 0; k < result.comparedColumns.size(); ++k) {
            if (!cellsEqual(t1.cell(r1, cells1.columns[k]), t2.cell(r2, cells2.columns[k]), rules))
                change.columns.push_back(result.comparedColumns[k]);
        }
        if (!change.columns.empty())
            changedParts[part].push_back(std::move(change));
    };
    const std::vector<qint32> groups =
        findInFile1(index1, key1, key2, hashes2, first, rules, pairRow);
    result.changed = std::move(changedParts[0]);
    result.changed.insert(result.changed.end(), std::make_move_iterator(changedParts[1].begin()),
                          std::make_move_iterator(changedParts[1].end()));

    for (qint32 r2 = first; r2 < qint32(t2.size()); ++r2) {
        if (status2[size_t(r2)] == Added) {
            result.added.push_back(r2);
        } else if (status2[size_t(r2)] == DuplicateHead) {
            result.duplicateKeys.push_back(
                {chain(index1, groups[size_t(r2)]), chain(index2, index2.groupOf(r2))});
        }
    }
    for (qint32 r1 = first; r1 < qint32(t1.size()); ++r1) {
        if (matched1[size_t(r1)])
            continue;
        const qint32 group1 = index1.groupOf(r1);
        if (index1.group(group1).count == 1)
            result.removed.push_back(r1);
        else if (index1.group(group1).head == r1)
            result.duplicateKeys.push_back({chain(index1, group1), {}});
    }
    const auto firstLine = [&](const DuplicateKey &d) {
        return d.records1.empty() ? std::pair<qsizetype, qsizetype>(1, t2.line(d.records2[0]))
                                  : std::pair<qsizetype, qsizetype>(0, t1.line(d.records1[0]));
    };
    std::sort(
        result.duplicateKeys.begin(), result.duplicateKeys.end(),
        [&](const DuplicateKey &a, const DuplicateKey &b) { return firstLine(a) < firstLine(b); });
}

void compareAsMultiset(RowComparison &result, qint32 first, const CellRules &rules)
{
    const Table &t1 = *result.table1;
    const Table &t2 = *result.table2;
    const RowView row1 = viewOf(t1, result.mapping, result.comparedColumns, true);
    const RowView row2 = viewOf(t2, result.mapping, result.comparedColumns, false);

    std::vector<size_t> hashes1;
    RowIndex index1;
    auto hashing2 = std::async(std::launch::async, [&] { return rowHashes(row2, first, rules); });
    indexRows(row1, first, rules, hashes1, index1);
    const std::vector<size_t> hashes2 = hashing2.get();
    const std::vector<qint32> groups =
        findInFile1(index1, row1, row2, hashes2, first, rules, [](qint32, qint32, int) {});

    // How many rows of each group of file 1 have found their copy in file 2.
    std::vector<qint32> taken(index1.slotCount(), 0);
    for (qint32 r2 = first; r2 < qint32(t2.size()); ++r2) {
        const qint32 group1 = groups[size_t(r2)];
        if (group1 >= 0 && taken[size_t(group1)] < index1.group(group1).count)
            ++taken[size_t(group1)];
        else
            result.added.push_back(r2);
    }
    // The first copies of a row are the matched ones.
    for (qint32 r1 = first; r1 < qint32(t1.size()); ++r1) {
        qint32 &left = taken[size_t(index1.groupOf(r1))];
        if (left > 0)
            --left;
        else
            result.removed.push_back(r1);
    }
}

std::vector<qint32> raggedRows(const Table &table, qint32 first, qsizetype width)
{
    std::vector<qint32> rows;
    for (qint32 r = first; r < qint32(table.size()); ++r) {
        if (table.cellCount(r) != width)
            rows.push_back(r);
    }
    return rows;
}

} // namespace

bool RowComparison::hasDifferences() const
{
    if (!removed.empty() || !added.empty() || !changed.empty() || !duplicateKeys.empty())
        return true;
    return std::any_of(mapping.columns.begin(), mapping.columns.end(),
                       [](const Column &column) { return !column.inBoth(); });
}

RowComparison compareTables(std::shared_ptr<const Table> table1,
                            std::shared_ptr<const Table> table2, const RowOptions &options)
{
    RowComparison result;
    result.table1 = std::move(table1);
    result.table2 = std::move(table2);
    const Table &t1 = *result.table1;
    const Table &t2 = *result.table2;
    const qint32 first = options.header ? 1 : 0;
    result.rows1 = std::max<qsizetype>(t1.size() - first, 0);
    result.rows2 = std::max<qsizetype>(t2.size() - first, 0);
    result.mapping = mapColumns(t1, t2, options.header, options.rules);
    const bool empty1 = t1.size() == 0;
    const bool empty2 = t2.size() == 0;

    // Two empty files have no columns to name: nothing to look up.
    const bool lookUp = !(empty1 && empty2);
    std::vector<qsizetype> ignored;
    if (lookUp && !options.ignoreColumns.isEmpty()) {
        ColumnPick pick = pickColumns(result.mapping, options.ignoreColumns, false, empty1, empty2,
                                      options.rules);
        if (!pick.error.isEmpty()) {
            result.error = {pick.errorFile, 0, pick.error};
            return result;
        }
        ignored = std::move(pick.columns);
    }
    if (lookUp && !options.key.isEmpty()) {
        ColumnPick pick =
            pickColumns(result.mapping, options.key, true, empty1, empty2, options.rules);
        if (!pick.error.isEmpty()) {
            result.error = {pick.errorFile, 0, pick.error};
            return result;
        }
        result.keyColumns = std::move(pick.columns);
    }
    for (size_t c = 0; c < result.mapping.columns.size(); ++c) {
        const auto isIn = [c](const std::vector<qsizetype> &list) {
            return std::find(list.begin(), list.end(), qsizetype(c)) != list.end();
        };
        if (result.mapping.columns[c].inBoth() && !isIn(ignored) && !isIn(result.keyColumns))
            result.comparedColumns.push_back(qsizetype(c));
    }
    result.ragged1 = raggedRows(t1, first, result.mapping.width1);
    result.ragged2 = raggedRows(t2, first, result.mapping.width2);

    // File 1's rows are looked up at random, file 2's read in order.
    t1.preferLargePages();
    if (!options.key.isEmpty())
        compareByKey(result, first, options.rules);
    else
        compareAsMultiset(result, first, options.rules);
    return result;
}

RowComparison compareTexts(const QString &text1, const QString &text2, const RowOptions &options,
                           QChar delimiter)
{
    auto reading2 = std::async(std::launch::async, [&] { return readCsv(text2, delimiter); });
    ReadResult read1 = readCsv(text1, delimiter);
    ReadResult read2 = reading2.get();
    for (const auto &[file, read] : {std::pair{1, &read1}, std::pair{2, &read2}}) {
        if (!read->ok()) {
            RowComparison failed;
            failed.error = {file, read->error.line, read->error.message};
            return failed;
        }
    }
    return compareTables(std::make_shared<const Table>(std::move(read1.table)),
                         std::make_shared<const Table>(std::move(read2.table)), options);
}

} // namespace Csv
