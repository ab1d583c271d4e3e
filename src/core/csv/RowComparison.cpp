#include "csv/RowComparison.h"

#include <algorithm>
#include <atomic>
#include <bit>

#include "base/BothAtOnce.h"
#include "csv/KeyGuess.h"
#include "csv/KeyIndex.h"
#include "csv/LargeArrays.h"
#include "csv/RowComparisonSteps.h"
#include "csv/RowIndex.h"

namespace Csv {

namespace {

// The cells of a row that a comparison looks at, in one file's positions.
struct RowView
{
    const Table &table;
    std::vector<qint64> columns;
    std::vector<NumberStyle> styles; // how each of the columns writes numbers
    qint64 needed = 0;               // cells to split: one past the last column looked at
};

// The rules for column k of `a` against column k of `b`.
CellRules rulesFor(const CellRules &rules, const RowView &a, const RowView &b, size_t k)
{
    return rules.numbers ? rules.styled(a.styles[k], b.styles[k]) : rules;
}

RowHash rowHash(const Row &row, const std::vector<qint64> &columns,
                const std::vector<NumberStyle> &styles, const CellRules &rules)
{
    size_t hash = 0;
    for (size_t k = 0; k < columns.size(); ++k) {
        const CellRules cellRules = rules.numbers ? rules.styled(styles[k], styles[k]) : rules;
        hash = combineHash(hash, cellHash(row[columns[k]], cellRules));
    }
    return narrowHash(hash);
}

RowHash rowHash(const Row &row, const RowView &view, const CellRules &rules)
{
    return rowHash(row, view.columns, view.styles, rules);
}

// Runs work(begin, end, part) on two halves of [begin, end) at once. What the
// second half throws (out of memory) reaches the caller.
template <typename Work>
void inTwoParts(qint32 begin, qint32 end, Work &&work)
{
    const qint32 middle = begin + (end - begin) / 2;
    runBothAtOnce([&] { work(begin, middle, 0); }, [&] { work(middle, end, 1); });
}

// Each row's hash by its place, from `first` on; on both cores with
// `bothCores`, else on this thread.
std::vector<RowHash> rowHashes(const RowView &view, qint32 first, const CellRules &rules,
                               WorkControl *control, bool bothCores = false)
{
    const qint32 end = qint32(view.table.size());
    std::vector<RowHash> hashes;
    {
        Checkpoint look(control);
        hashes = filledArray(size_t(end), RowHash(0), [&look] { look(0); });
    }
    const auto hashRows = [&](qint32 begin, qint32 stop, int) {
        Checkpoint tick(control);
        Row row;
        for (qint32 r = begin; r < stop; ++r) {
            tick();
            view.table.split(r, row, view.needed);
            hashes[size_t(r)] = rowHash(row, view, rules);
        }
    };
    if (bothCores && end > first)
        inTwoParts(first, end, hashRows);
    else
        hashRows(first, end, 0);
    return hashes;
}

bool sameCells(const Row &a, const RowView &viewA, const Row &b, const RowView &viewB,
               const CellRules &rules)
{
    for (size_t k = 0; k < viewA.columns.size(); ++k) {
        if (!cellsEqual(a[viewA.columns[k]], b[viewB.columns[k]], rulesFor(rules, viewA, viewB, k)))
            return false;
    }
    return true;
}

// Whether two rows have the same cells of their views; `a` and `b` are the
// caller's.
bool sameRows(qint32 r1, const RowView &view1, qint32 r2, const RowView &view2,
              const CellRules &rules, Row &a, Row &b)
{
    view1.table.split(r1, a, view1.needed);
    view2.table.split(r2, b, view2.needed);
    return sameCells(a, view1, b, view2, rules);
}

// Groups the equal rows of `view` that the index's places [first, places)
// stand for, record(i) each, those that keep(i) (see RowIndex::buildOf for
// `roles`).
template <typename Record, typename Keep>
void indexRowsOf(const RowView &view, size_t places, qint32 first, Record &&record, Keep &&keep,
                 const CellRules &rules, RowIndex &index, WorkControl *control, bool roles = true)
{
    Row row;
    Row a;
    Row b;
    Checkpoint tick(control);
    index.buildOf(
        keep, places, first,
        [&](qint32 i) {
            view.table.split(record(i), row, view.needed);
            return rowHash(row, view, rules);
        },
        [&](qint32 i, qint32 j) { return sameRows(record(i), view, record(j), view, rules, a, b); },
        [&tick](qint64 items) { tick(items); }, roles);
}

// Groups the equal rows of `view`.
void indexRows(const RowView &view, qint32 first, const CellRules &rules, RowIndex &index,
               WorkControl *control, bool roles = true)
{
    indexRowsOf(
        view, size_t(view.table.size()), first, [](qint32 r) { return r; },
        [](qint32) { return true; }, rules, index, control, roles);
}

// The records of the group whose first record is `head` (none for -1).
// Measured first: a list of ten million records is not copied as it grows.
RecordList chain(const RowIndex &index, qint32 head)
{
    size_t bytes = 0;
    qint32 last = -1;
    for (qint32 r = head; r >= 0; last = r, r = index.next(r))
        bytes += RecordList::codeSize(last, r);
    RecordList records;
    records.reserveBytes(bytes);
    for (qint32 r = head; r >= 0; r = index.next(r))
        records.push_back(r);
    return records;
}

// The records of [first, size) that the comparison marked Listed, in order.
std::vector<qint32> listed(const RowIndex &index, qint32 first, qint32 size, WorkControl *control)
{
    size_t count = 0;
    for (qint32 r = first; r < size; ++r)
        count += (index.role(r) & RowIndex::Listed) ? 1 : 0;
    std::vector<qint32> records;
    records.reserve(count);
    Checkpoint tick(control);
    for (qint32 r = first; r < size; ++r) {
        tick();
        if (index.role(r) & RowIndex::Listed)
            records.push_back(r);
    }
    return records;
}

RowView viewOf(const RowComparison &result, const std::vector<qsizetype> &columns, bool file1)
{
    RowView view{file1 ? *result.table1 : *result.table2, {}, {}};
    const std::vector<NumberStyle> &styles = file1 ? result.numberStyles1 : result.numberStyles2;
    view.columns.reserve(columns.size());
    for (const qsizetype c : columns) {
        const Column &column = result.mapping.columns[size_t(c)];
        view.columns.push_back(file1 ? column.index1 : column.index2);
        view.styles.push_back(styles.empty() ? NumberStyle::Plain : styles[size_t(c)]);
        view.needed = std::max(view.needed, view.columns.back() + 1);
    }
    return view;
}

// How each column of `table` in `columns` writes numbers: the user's choice,
// or what its values say.
std::vector<NumberStyle> numberStyles(const RowComparison &result, bool file1,
                                      const std::vector<qsizetype> &columns, qint32 first,
                                      DecimalMark mark, WorkControl *control)
{
    std::vector<NumberStyle> styles(result.mapping.columns.size(), chosenStyle(mark, {}));
    if (mark != DecimalMark::Auto)
        return styles;
    const RowView view = viewOf(result, columns, file1);
    std::vector<NumberStyleFinder> finders(columns.size());
    Row row;
    size_t unsettled = columns.size();
    Checkpoint tick(control);
    for (qint32 r = first; r < qint32(view.table.size()) && unsettled > 0; ++r) {
        tick();
        view.table.split(r, row, view.needed);
        unsettled = 0;
        for (size_t k = 0; k < columns.size(); ++k) {
            if (finders[k].settled())
                continue;
            finders[k].add(row[view.columns[k]]);
            unsettled += finders[k].settled() ? 0 : 1;
        }
    }
    for (size_t k = 0; k < columns.size(); ++k)
        styles[size_t(columns[k])] = finders[k].style();
    return styles;
}

// Whether two rows whose bytes are the same are equal under the views: when
// each column looked at stands at the same place in both files and reads
// numbers alike. Most rows of two exports are such, and need not be split.
bool sameBytesDecide(const RowView &a, const RowView &b)
{
    return a.columns == b.columns && a.styles == b.styles;
}

// The group of file 1 whose rows equal (under `view1`/`view2`) each row of
// file 2, or -1; the lookups run on two threads, with the memory they need
// fetched ahead. hash2(r2, scratch) gives a row's hash (`scratch` is the
// thread's own); found(r2, group1, part, bytes) runs right after each
// lookup, `bytes` telling whether the group's first row has r2's bytes
// (Same, Differ) when the lookup had to compare them, else Unknown.
enum class Bytes { Unknown, Same, Differ };

template <typename Hash2, typename Found>
void findInFile1(const RowIndex &index1, const RowView &view1, const RowView &view2, Hash2 &&hash2,
                 qint32 first, const CellRules &rules, WorkControl *control, Found &&found)
{
    const qint32 size2 = qint32(view2.table.size());
    inTwoParts(first, size2, [&](qint32 begin, qint32 end, int part) {
        // What row r2 + k will need is fetched k rows ahead, in steps that
        // each read what the step before brought in: its group, where its
        // match starts, then the match's text. The hashes of the rows ahead
        // wait in a ring.
        constexpr qint32 kGroupAhead = 24;
        constexpr qint32 kRecordAhead = 16;
        constexpr qint32 kTextAhead = 8;
        constexpr qint32 kRing = 32;
        static_assert(kGroupAhead < kRing && (kRing & (kRing - 1)) == 0);
        RowHash ahead[kRing];
        const auto at = [&ahead](qint32 r) -> RowHash & { return ahead[r & (kRing - 1)]; };
        Row scratch;
        for (qint32 r = begin; r < std::min(end, begin + kGroupAhead); ++r)
            at(r) = hash2(r, scratch);
        Row row1;
        Row row2;
        const bool bytesDecide = sameBytesDecide(view1, view2);
        Checkpoint tick(control);
        for (qint32 r2 = begin; r2 < end; ++r2) {
            tick();
            if (r2 + kGroupAhead < end) {
                const RowHash hash = hash2(r2 + kGroupAhead, scratch);
                at(r2 + kGroupAhead) = hash;
                index1.prefetch(hash);
            }
            if (r2 + kRecordAhead < end) {
                const qint32 head = index1.likelyHead(at(r2 + kRecordAhead));
                if (head >= 0)
                    view1.table.prefetchRecord(head);
            }
            if (r2 + kTextAhead < end) {
                const qint32 head = index1.likelyHead(at(r2 + kTextAhead));
                if (head >= 0) {
                    view1.table.prefetchText(head);
                    index1.prefetchRole(head); // found() marks it
                }
            }
            bool split2 = false;
            Bytes bytes = Bytes::Unknown; // of the last row compared, the group's if found
            const qint32 group1 = index1.find(at(r2), [&](qint32 r1) {
                bytes = Bytes::Unknown;
                if (bytesDecide) {
                    const bool same = view1.table.rawRecord(r1) == view2.table.rawRecord(r2);
                    bytes = same ? Bytes::Same : Bytes::Differ;
                    if (same)
                        return true;
                }
                if (!split2)
                    view2.table.split(r2, row2, view2.needed);
                split2 = true;
                view1.table.split(r1, row1, view1.needed);
                return sameCells(row1, view1, row2, view2, rules);
            });
            found(r2, group1, part, group1 >= 0 ? bytes : Bytes::Unknown);
        }
    });
}

// What the lookups of one half of file 2 leave for the listing.
struct LookupPart
{
    std::vector<ChangedRow> changed;
    std::vector<qint32> columns;  // of the changed rows
    qint64 unmatched = 0;         // rows whose key file 1 lacks
    std::vector<qint32> repeated; // file 1's groups whose key either file repeats
};

// The changed rows of both halves in file 2's order; with `takeBack`,
// without those whose key file 2 turned out to repeat (their group of file 1
// marked Twice), the role of each read at random only then.
void gatherChanged(RowComparison &result, LookupPart (&parts)[2], const RowIndex &index1,
                   bool takeBack)
{
    for (LookupPart &part : parts) {
        for (ChangedRow row : part.changed) {
            if (takeBack && (index1.role(row.record1) & RowIndex::Twice))
                continue;
            const auto from = part.columns.begin() + row.firstColumn;
            row.firstColumn = qint64(result.changedColumnList.size());
            result.changedColumnList.insert(result.changedColumnList.end(), from,
                                            from + row.columnCount);
            result.changed.push_back(row);
        }
        part.changed = {};
        part.columns = {};
    }
}

// The places of some of an index's groups (its slots), each numbered by
// its place in a list: open addressing, a lookup a constant time.
class SlotNumbers
{
public:
    explicit SlotNumbers(const std::vector<qint32> &places)
        : m_entries(std::max<size_t>(16, std::bit_ceil(places.size() * 2)), {-1, 0})
    {
        for (size_t i = 0; i < places.size(); ++i) {
            size_t at = home(places[i]);
            while (m_entries[at].first >= 0)
                at = (at + 1) & (m_entries.size() - 1);
            m_entries[at] = {places[i], qint32(i)};
        }
    }
    // The number of `slot`, or -1.
    qint32 find(qint32 slot) const
    {
        for (size_t at = home(slot);; at = (at + 1) & (m_entries.size() - 1)) {
            if (m_entries[at].first == slot)
                return m_entries[at].second;
            if (m_entries[at].first < 0)
                return -1;
        }
    }

private:
    size_t home(qint32 slot) const
    {
        return size_t(quint64(quint32(slot)) * 0x9E3779B97F4A7C15ull >> 32)
               & (m_entries.size() - 1);
    }
    std::vector<std::pair<qint32, qint32>> m_entries;
};

// The rows of file 2 whose key file 2 repeats or file 1 repeats, each with
// its group of file 1 (`repeated`, slots of index1), read again in file
// 2's order: one repeated key is listed once, with all its rows. Linear: a
// row is looked up only when a filter of the repeated keys' hashes (a bit
// for each of 2^24 ranges) lets it through, and the rows of each key are
// counted before their list is made.
template <typename Hash2>
void listRepeatedKeys(RowComparison &result, const std::vector<qint32> &repeated,
                      const RowIndex &index1, const RowView &key1, const RowView &key2,
                      qint32 first, const CellRules &keyRules, Hash2 &&hash2, Checkpoint &tick)
{
    if (repeated.empty())
        return;
    constexpr int kFilterBits = 24;
    std::vector<quint64> filter(size_t(1) << (kFilterBits - 6), 0);
    const auto range = [](RowHash hash) { return size_t(hash >> (32 - kFilterBits)); };
    for (const qint32 slot : repeated) {
        const size_t at = range(index1.group(slot).tag);
        filter[at / 64] |= quint64(1) << (at % 64);
    }
    const SlotNumbers numbers(repeated);
    std::vector<std::pair<qint32, qint32>> found; // (number of the key, row of file 2)
    Row row;
    Row a;
    Row b;
    for (qint32 r2 = first; r2 < qint32(key2.table.size()); ++r2) {
        tick();
        const RowHash hash = hash2(r2, row);
        const size_t at = range(hash);
        if (!(filter[at / 64] >> (at % 64) & 1))
            continue;
        const qint32 slot = index1.find(
            hash, [&](qint32 r1) { return sameRows(r1, key1, r2, key2, keyRules, a, b); });
        const qint32 number = slot < 0 ? -1 : numbers.find(slot);
        if (number >= 0)
            found.push_back({number, r2});
    }
    // Each key's rows in a list made at its size: the bytes each takes
    // are counted first.
    std::vector<size_t> bytes(repeated.size(), 0);
    std::vector<qint32> last(repeated.size(), -1);
    for (const auto &[number, r2] : found) {
        bytes[size_t(number)] += RecordList::codeSize(last[size_t(number)], r2);
        last[size_t(number)] = r2;
    }
    std::vector<RecordList> rows2(repeated.size());
    for (size_t i = 0; i < repeated.size(); ++i)
        rows2[i].reserveBytes(bytes[i]);
    for (const auto &[number, r2] : found)
        rows2[size_t(number)].push_back(r2);
    found = {};
    for (size_t i = 0; i < repeated.size(); ++i) {
        result.duplicateKeys.push_back(
            {chain(index1, index1.group(repeated[i]).head), std::move(rows2[i])});
    }
}

// Records marked from two threads at once, a bit each.
class RecordBits
{
public:
    explicit RecordBits(qsizetype records) : m_words(size_t(records + 63) / 64, 0) {}
    void set(qint32 r)
    {
        std::atomic_ref<quint64>(m_words[size_t(r) / 64])
            .fetch_or(quint64(1) << (r % 64), std::memory_order_relaxed);
    }
    bool has(qint32 r) const { return m_words[size_t(r) / 64] >> (r % 64) & 1; }

private:
    std::vector<quint64> m_words;
};

// Whether `count` rows of file 2's `rows` whose key file 1 lacks are few
// enough to list before they are indexed (see listUnmatched).
bool fewUnmatched(qint64 count, qint64 rows)
{
    return count * 8 < rows;
}

// The rows of file 2 whose key file 1 lacks (`unmatched`, `count` of them):
// added, or, when file 2 repeats their key, listed as a repeated key. A few
// are indexed from a list of them; many in file 2's own places, which costs
// no list four bytes a row: a file of one-byte rows stays a small multiple
// of its size.
void listUnmatched(RowComparison &result, const RecordBits &unmatched, qint64 count,
                   const RowView &key2, qint32 first, const CellRules &keyRules,
                   WorkControl *control)
{
    if (count == 0)
        return;
    const qint32 size2 = qint32(key2.table.size());
    std::vector<qint32> listed;
    const bool few = fewUnmatched(count, size2 - first);
    if (few) {
        listed.reserve(size_t(count));
        for (qint32 r2 = first; r2 < size2; ++r2) {
            if (unmatched.has(r2))
                listed.push_back(r2);
        }
    }
    // Positions in the index: places in `listed`, or file 2's records.
    const auto record = [&](qint32 i) { return few ? listed[size_t(i)] : i; };
    const auto kept = [&](qint32 i) { return few || unmatched.has(i); };
    RowIndex index;
    indexRowsOf(key2, few ? listed.size() : size_t(size2), few ? 0 : first, record, kept, keyRules,
                index, control);
    result.added.reserve(size_t(count));
    const qint32 end = few ? qint32(listed.size()) : size2;
    for (qint32 i = few ? 0 : first; i < end; ++i) {
        if (!kept(i))
            continue;
        const quint8 role = index.role(i);
        if (!(role & RowIndex::Many)) {
            result.added.push_back(record(i));
        } else if (role & RowIndex::Head) {
            RecordList rows;
            for (qint32 j = i; j >= 0; j = index.next(j))
                rows.push_back(record(j));
            result.duplicateKeys.push_back({{}, std::move(rows)});
        }
    }
}

void compareByKey(RowComparison &result, qint32 first, const CellRules &rules, bool keepPairs,
                  KeyIndex *kept, WorkControl *control)
{
    const Table &t1 = *result.table1;
    const Table &t2 = *result.table2;
    const CellRules keyRules = rules.exact();
    const RowView key1 = viewOf(result, result.keyColumns, true);
    const RowView key2 = viewOf(result, result.keyColumns, false);
    const RowView cells1 = viewOf(result, result.comparedColumns, true);
    const RowView cells2 = viewOf(result, result.comparedColumns, false);

    // Only file 1 is indexed. Its groups count the rows of file 2 that find
    // them, so that a key file 2 repeats shows as a group found twice: no
    // index of file 2 is built but for its rows whose key file 1 lacks. The
    // caller's index is used as it stands when it fits.
    RowIndex own;
    KeyIndex::Basis basis = KeyIndex::basisOf(key1.columns, key1.styles, keyRules, first);
    const bool indexed = kept && kept->fits(result.table1, basis);
    RowIndex &index1 = !kept ? own : indexed ? kept->reuse() : kept->remake();
    // Meanwhile the other core hashes file 2's keys for the lookups, where
    // four bytes a row are small beside the rows; shorter rows are hashed
    // again as they are looked up, so that a file of one-byte rows costs a
    // small multiple of its size.
    constexpr qint64 kRowBytesForHashes = 16;
    const bool hashAhead = kRowBytesForHashes * (t2.size() - first) <= t2.bytes().size();
    std::vector<RowHash> hashes2;
    startPhase(control, WorkPhase::Indexing,
               (indexed ? 0 : 2 * (t1.size() - first)) + (hashAhead ? t2.size() - first : 0));
    if (indexed) {
        if (hashAhead)
            hashes2 = rowHashes(key2, first, keyRules, control, true);
    } else if (hashAhead) {
        runBothAtOnce([&] { indexRows(key1, first, keyRules, index1, control); },
                      [&] { hashes2 = rowHashes(key2, first, keyRules, control); });
    } else {
        indexRows(key1, first, keyRules, index1, control);
    }
    if (kept && !indexed)
        kept->madeFor(result.table1, std::move(basis));

    LookupPart parts[2];
    RecordBits unmatched(t2.size());
    if (keepPairs)
        result.pairs.assign(size_t(t2.size()), -1);
    const bool sameLayout = sameBytesDecide(cells1, cells2);
    Row rows1[2];
    Row rows2[2];
    // A row whose group file 1 repeats, or that another row found before
    // it, is set aside for listRepeatedKeys. The first row to find a single
    // group is paired with it at once; when another finds it too (a key file
    // 2 repeats, in either half), gatherChanged and the pairs take that back.
    const auto pairRow = [&](qint32 r2, qint32 group1, int part, Bytes bytes) {
        LookupPart &out = parts[part];
        if (group1 < 0) {
            unmatched.set(r2);
            ++out.unmatched;
            return;
        }
        const qint32 head1 = index1.group(group1).head;
        const quint8 before = index1.markOnce(head1, RowIndex::Matched);
        if (before & RowIndex::Many) {
            if (!(before & RowIndex::Matched))
                out.repeated.push_back(group1);
            return;
        }
        if (before & RowIndex::Matched) {
            if (!(index1.markOnce(head1, RowIndex::Twice) & RowIndex::Twice))
                out.repeated.push_back(group1);
            return;
        }
        if (keepPairs)
            result.pairs[size_t(r2)] = head1;
        if (sameLayout && bytes != Bytes::Differ
            && (bytes == Bytes::Same || t1.rawRecord(head1) == t2.rawRecord(r2)))
            return;
        Row &row1 = rows1[part];
        Row &row2 = rows2[part];
        t1.split(head1, row1, cells1.needed);
        t2.split(r2, row2, cells2.needed);
        const qint64 before2 = qint64(out.columns.size());
        for (size_t k = 0; k < result.comparedColumns.size(); ++k) {
            if (!cellsEqual(row1[cells1.columns[k]], row2[cells2.columns[k]],
                            rulesFor(rules, cells1, cells2, k)))
                out.columns.push_back(qint32(result.comparedColumns[k]));
        }
        const qint64 count = qint64(out.columns.size()) - before2;
        if (count > 0)
            out.changed.push_back({head1, r2, before2, qint32(count)});
    };
    startPhase(control, WorkPhase::Comparing, t2.size() - first);
    const auto keyHash2 = [&](qint32 r2, Row &row) {
        if (hashAhead)
            return hashes2[size_t(r2)];
        t2.split(r2, row, key2.needed);
        return rowHash(row, key2, keyRules);
    };
    findInFile1(index1, key1, key2, keyHash2, first, keyRules, control, pairRow);

    std::vector<qint32> repeated = std::move(parts[0].repeated);
    repeated.insert(repeated.end(), parts[1].repeated.begin(), parts[1].repeated.end());
    const qint64 unmatchedCount = parts[0].unmatched + parts[1].unmatched;
    parts[1].repeated = {};
    const qint64 listing =
        t1.size() - first + (repeated.empty() ? 0 : t2.size() - first)
        + 2
              * (fewUnmatched(unmatchedCount, t2.size() - first) ? unmatchedCount
                                                                 : t2.size() - first);
    startPhase(control, WorkPhase::Listing, listing);
    gatherChanged(result, parts, index1, !repeated.empty());
    if (keepPairs && !repeated.empty()) {
        for (qint32 &head1 : result.pairs) {
            if (head1 >= 0 && (index1.role(head1) & RowIndex::Twice))
                head1 = -1;
        }
    }
    Checkpoint tick(control);
    listRepeatedKeys(result, repeated, index1, key1, key2, first, keyRules, keyHash2, tick);
    repeated = {};
    hashes2 = std::vector<RowHash>();
    for (qint32 r1 = first; r1 < qint32(t1.size()); ++r1) {
        tick();
        const quint8 role1 = index1.role(r1);
        if (!(role1 & RowIndex::Head) || (role1 & RowIndex::Matched))
            continue;
        if (!(role1 & RowIndex::Many))
            index1.mark(r1, RowIndex::Listed);
        else
            result.duplicateKeys.push_back({chain(index1, r1), {}});
    }
    if (!kept)
        index1.dropLinks(); // every list of a key's rows is made: only the marks are read now
    listUnmatched(result, unmatched, unmatchedCount, key2, first, keyRules, control);
    result.removed = listed(index1, first, qint32(t1.size()), nullptr);
    sortDuplicateKeys(result, tick);
}

// Without a key and with no cell compared, every row would "equal" every
// other: none can match, so every row of file 1 is removed and every row of
// file 2 added.
void matchNoRow(RowComparison &result, qint32 first, bool keepPairs)
{
    result.removed.reserve(size_t(std::max<qsizetype>(result.table1->size() - first, 0)));
    for (qint32 r1 = first; r1 < qint32(result.table1->size()); ++r1)
        result.removed.push_back(r1);
    result.added.reserve(size_t(std::max<qsizetype>(result.table2->size() - first, 0)));
    for (qint32 r2 = first; r2 < qint32(result.table2->size()); ++r2)
        result.added.push_back(r2);
    if (keepPairs)
        result.pairs.assign(size_t(result.table2->size()), -1);
}

void compareAsMultiset(RowComparison &result, qint32 first, const CellRules &rules, bool keepPairs,
                       WorkControl *control)
{
    const Table &t1 = *result.table1;
    const Table &t2 = *result.table2;
    const RowView row1 = viewOf(result, result.comparedColumns, true);
    const RowView row2 = viewOf(result, result.comparedColumns, false);

    RowIndex index1;
    startPhase(control, WorkPhase::Indexing, 2 * (t1.size() - first) + t2.size() - first);
    std::vector<RowHash> hashes2;
    // Roles are not needed until the rows to list are marked: not held
    // beside file 2's hashes.
    runBothAtOnce([&] { indexRows(row1, first, rules, index1, control, false); },
                  [&] { hashes2 = rowHashes(row2, first, rules, control); });
    // Each row's group of file 1, kept in file 2's order so that the first
    // copies of a row are the ones matched, takes the place of its hash once
    // looked up: the lookups read hashes only ahead of the row they are at.
    static_assert(sizeof(RowHash) == sizeof(qint32));
    std::vector<RowHash> &groups = hashes2;
    startPhase(control, WorkPhase::Comparing, t2.size() - first);
    findInFile1(
        index1, row1, row2, [&hashes2](qint32 r2, Row &) { return hashes2[size_t(r2)]; }, first,
        rules, control,
        [&groups](qint32 r2, qint32 group1, int, Bytes) { groups[size_t(r2)] = RowHash(group1); });

    // The last row of each group of file 1 that has found its copy in file 2,
    // in the group's order: -2 none yet, -1 every one has.
    std::vector<qint32> lastTaken(index1.slotCount(), -2);
    const auto after = [&](qint32 group1) {
        const qint32 last = lastTaken[size_t(group1)];
        return last == -2 ? index1.group(group1).head : last < 0 ? -1 : index1.next(last);
    };
    if (keepPairs)
        result.pairs.assign(size_t(t2.size()), -1);
    startPhase(control, WorkPhase::Listing, 3 * (t2.size() - first) + t1.size() - first);
    Checkpoint tick(control);
    size_t addedCount = 0;
    for (qint32 r2 = first; r2 < qint32(t2.size()); ++r2) {
        tick();
        const qint32 group1 = qint32(groups[size_t(r2)]);
        const qint32 next = group1 < 0 ? -1 : after(group1);
        if (next < 0) {
            if (group1 >= 0)
                lastTaken[size_t(group1)] = -1;
            groups[size_t(r2)] = RowHash(-1); // added
            ++addedCount;
            continue;
        }
        lastTaken[size_t(group1)] = next;
        if (keepPairs)
            result.pairs[size_t(r2)] = next;
    }
    // The added rows a bit each, so that the groups are let go before file
    // 1's rows are listed: the lists, the groups and the index are never
    // held at once.
    std::vector<bool> isAdded(size_t(t2.size()), false);
    for (qint32 r2 = first; r2 < qint32(t2.size()); ++r2) {
        tick();
        isAdded[size_t(r2)] = qint32(groups[size_t(r2)]) < 0;
    }
    hashes2 = std::vector<RowHash>();
    // The first copies of a row are the matched ones: the rest are listed.
    index1.clearRoles(size_t(t1.size()));
    for (size_t slot = 0; slot < index1.slotCount(); ++slot) {
        tick();
        for (qint32 r1 = after(qint32(slot)); r1 >= 0; r1 = index1.next(r1))
            index1.mark(r1, RowIndex::Listed);
    }
    index1.dropLinks();
    result.removed = listed(index1, first, qint32(t1.size()), control);
    index1.clear();
    result.added.reserve(addedCount);
    for (qint32 r2 = first; r2 < qint32(t2.size()); ++r2) {
        tick();
        if (isAdded[size_t(r2)])
            result.added.push_back(r2);
    }
}

// Looks up a column list; false (and the error set) when it names a column
// that is not there.
bool pick(RowComparison &result, const ColumnSelection &list, bool inBoth, bool empty1, bool empty2,
          const CellRules &rules, std::vector<qsizetype> &columns)
{
    ColumnPick picked = pickColumns(result.mapping, list, inBoth, empty1, empty2, rules);
    if (!picked.error.isEmpty()) {
        result.error = {picked.errorFile, 0, picked.error};
        return false;
    }
    columns = std::move(picked.columns);
    return true;
}

} // namespace

std::vector<qsizetype> displayOrder(const RowComparison &comparison)
{
    const std::vector<Column> &columns = comparison.mapping.columns;
    std::vector<char> isKey(columns.size(), 0);
    for (const qsizetype k : comparison.keyColumns)
        isKey[size_t(k)] = 1;
    std::vector<qsizetype> order(comparison.keyColumns.begin(), comparison.keyColumns.end());
    // File 2's columns by their position there: each position is one column's.
    qint64 width2 = 0;
    for (const Column &column : columns)
        width2 = std::max(width2, column.index2 + 1);
    std::vector<qsizetype> at2(size_t(width2), -1);
    for (size_t c = 0; c < columns.size(); ++c) {
        if (!isKey[c] && columns[c].index2 >= 0)
            at2[size_t(columns[c].index2)] = qsizetype(c);
    }
    for (const qsizetype c : at2) {
        if (c >= 0)
            order.push_back(c);
    }
    for (size_t c = 0; c < columns.size(); ++c) {
        if (!isKey[c] && columns[c].index2 < 0)
            order.push_back(qsizetype(c));
    }
    return order;
}

bool RowComparison::hasDifferences() const
{
    if (!removed.empty() || !added.empty() || !changed.empty() || !duplicateKeys.empty()
        || !ragged1.empty() || !ragged2.empty())
        return true;
    return std::any_of(mapping.columns.begin(), mapping.columns.end(),
                       [](const Column &column) { return !column.inBoth(); });
}

RowComparison prepareComparison(std::shared_ptr<const Table> table1,
                                std::shared_ptr<const Table> table2, const RowOptions &options)
{
    RowComparison result;
    result.table1 = std::move(table1);
    result.table2 = std::move(table2);
    const Table &t1 = *result.table1;
    const Table &t2 = *result.table2;
    if (t1.size() >= INT32_MAX || t2.size() >= INT32_MAX) {
        result.error = {t1.size() >= INT32_MAX ? 1 : 2, 0,
                        QStringLiteral("more than 2,147,483,646 rows cannot be compared")};
        return result;
    }
    const qint32 first = options.header ? 1 : 0;
    result.rows1 = std::max<qsizetype>(t1.size() - first, 0);
    result.rows2 = std::max<qsizetype>(t2.size() - first, 0);
    result.mapping = mapColumns(t1, t2, options.header, options.rules);
    const bool empty1 = t1.size() == 0;
    const bool empty2 = t2.size() == 0;
    if (!options.renames.empty()) {
        const ColumnPick renamed = renameColumns(result.mapping, options.renames, options.rules);
        if (!renamed.error.isEmpty()) {
            result.error = {renamed.errorFile, 0, renamed.error};
            return result;
        }
    }

    // Two empty files have no columns to name: nothing to look up.
    const bool lookUp = !(empty1 && empty2);
    std::vector<qsizetype> ignored;
    if (lookUp && !options.ignoreColumns.empty()
        && !pick(result, options.ignoreColumns, false, empty1, empty2, options.rules, ignored))
        return result;
    if (lookUp && !options.key.empty()
        && !pick(result, options.key, true, empty1, empty2, options.rules, result.keyColumns))
        return result;
    if (options.key.empty() && options.guessKey) {
        result.keyColumns = guessKey(t1, t2, result.mapping, options.header, options.rules);
        result.keyGuessed = !result.keyColumns.empty();
    }
    std::vector<char> leftOut(result.mapping.columns.size(), 0);
    for (const qsizetype c : ignored)
        leftOut[size_t(c)] = 1;
    for (const qsizetype c : result.keyColumns)
        leftOut[size_t(c)] = 1;
    for (size_t c = 0; c < result.mapping.columns.size(); ++c) {
        if (result.mapping.columns[c].inBoth() && !leftOut[c])
            result.comparedColumns.push_back(qsizetype(c));
    }
    // A row's width is the first record's: the header's, or the first row's.
    result.ragged1 = t1.otherWidths();
    result.ragged2 = t2.otherWidths();

    if (options.rules.numbers) {
        std::vector<qsizetype> read = result.keyColumns;
        read.insert(read.end(), result.comparedColumns.begin(), result.comparedColumns.end());
        runBothAtOnce(
            [&] {
                result.numberStyles1 =
                    numberStyles(result, true, read, first, options.decimalMark1, options.control);
            },
            [&] {
                result.numberStyles2 =
                    numberStyles(result, false, read, first, options.decimalMark2, options.control);
            });
    }
    return result;
}

void startPhase(WorkControl *control, WorkPhase phase, qint64 total)
{
    if (control)
        control->start(phase, total);
}

void sortDuplicateKeys(RowComparison &c, Checkpoint &tick)
{
    const Table &t1 = *c.table1;
    const Table &t2 = *c.table2;
    const auto firstLine = [&](const DuplicateKey &d) {
        return d.records1.empty() ? std::pair<qsizetype, qsizetype>(1, t2.line(d.records2.front()))
                                  : std::pair<qsizetype, qsizetype>(0, t1.line(d.records1.front()));
    };
    std::sort(c.duplicateKeys.begin(), c.duplicateKeys.end(),
              [&](const DuplicateKey &a, const DuplicateKey &b) {
                  tick();
                  return firstLine(a) < firstLine(b);
              });
}

RowComparison cancelledComparison()
{
    RowComparison stopped;
    stopped.cancelled = true;
    stopped.error = {0, 0, QStringLiteral("the comparison was cancelled")};
    return stopped;
}

bool matchesByKey(const RowComparison &prepared, const RowOptions &options)
{
    return !options.key.empty() || !prepared.keyColumns.empty();
}

void compareRecords(RowComparison &result, qint32 first, const RowOptions &options)
{
    // File 1's rows are looked up at random, file 2's read in order.
    result.table1->preferLargePages();
    if (matchesByKey(result, options))
        compareByKey(result, first, options.rules, options.keepPairs, options.keyIndex.get(),
                     options.control);
    else if (result.comparedColumns.empty())
        matchNoRow(result, first, options.keepPairs);
    else
        compareAsMultiset(result, first, options.rules.exact(), options.keepPairs, options.control);
}

MatchHash::MatchHash(const RowComparison &prepared, const RowOptions &options, int file)
    : m_table(file == 1 ? *prepared.table1 : *prepared.table2)
{
    const bool byKey = matchesByKey(prepared, options);
    const RowView view =
        viewOf(prepared, byKey ? prepared.keyColumns : prepared.comparedColumns, file == 1);
    m_columns = view.columns;
    m_styles = view.styles;
    m_needed = view.needed;
    m_rules = options.rules.exact();
}

RowHash MatchHash::operator()(qint32 record, Row &scratch) const
{
    m_table.split(record, scratch, m_needed);
    return rowHash(scratch, m_columns, m_styles, m_rules);
}

RowComparison compareTables(std::shared_ptr<const Table> table1,
                            std::shared_ptr<const Table> table2, const RowOptions &options)
{
    try {
        RowComparison result = prepareComparison(std::move(table1), std::move(table2), options);
        if (result.ok())
            compareRecords(result, options.header ? 1 : 0, options);
        return result;
    } catch (const WorkCancelled &) {
        return cancelledComparison();
    }
}

} // namespace Csv
