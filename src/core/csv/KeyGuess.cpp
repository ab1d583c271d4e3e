#include "csv/KeyGuess.h"

#include <algorithm>

#include "base/BothAtOnce.h"

namespace Csv {

namespace {

constexpr size_t kColumnsTried = 50;    // a key is near the left, and the search stays short
constexpr size_t kColumnsCombined = 16; // sets of two or three are made of these
constexpr qsizetype kBlocks = 32;
constexpr qsizetype kBlockRows = 64;
constexpr int kChecksOnEveryRow = 6;

// Rows of one file looked at first: all of a small file, else blocks of
// neighbouring rows spread evenly (neighbours catch sorted repeats, the
// spread catches repeats far apart).
std::vector<qint32> sampleRows(const Table &table, qint32 first)
{
    std::vector<qint32> rows;
    const qsizetype count = table.size() - first;
    if (count <= kBlocks * kBlockRows) {
        for (qint32 r = first; r < qint32(table.size()); ++r)
            rows.push_back(r);
        return rows;
    }
    for (qsizetype b = 0; b < kBlocks; ++b) {
        const qsizetype start = first + (count - kBlockRows) * b / (kBlocks - 1);
        for (qsizetype r = start; r < start + kBlockRows; ++r)
            rows.push_back(qint32(r));
    }
    return rows;
}

// The cell hashes of the sampled rows, one vector per candidate column, and
// which candidates hold an empty cell there.
struct Sample
{
    std::vector<std::vector<size_t>> hashes; // [candidate][sampled row]
    std::vector<char> hasEmpty;
};

Sample sampleOf(const Table &table, qint32 first, const std::vector<qint64> &positions,
                const CellRules &rules)
{
    const std::vector<qint32> rows = sampleRows(table, first);
    Sample sample;
    sample.hashes.assign(positions.size(), std::vector<size_t>(rows.size()));
    sample.hasEmpty.assign(positions.size(), 0);
    const qint64 needed =
        positions.empty() ? 0 : *std::max_element(positions.begin(), positions.end()) + 1;
    Row row;
    for (size_t s = 0; s < rows.size(); ++s) {
        table.split(rows[s], row, needed);
        for (size_t k = 0; k < positions.size(); ++k) {
            const QByteArrayView cell = row[positions[k]];
            sample.hasEmpty[k] = sample.hasEmpty[k] || cell.isEmpty();
            sample.hashes[k][s] = cellHash(cell, rules);
        }
    }
    return sample;
}

// Whether the set's combined hashes are all different on the sample. Equal
// hashes are taken as equal values: a check on every row follows.
bool uniqueOnSample(const Sample &sample, const std::vector<size_t> &set,
                    std::vector<size_t> &scratch)
{
    if (sample.hashes.empty())
        return true;
    const size_t rows = sample.hashes[0].size();
    scratch.assign(rows, 0);
    for (const size_t k : set) {
        for (size_t s = 0; s < rows; ++s)
            scratch[s] = combineHash(scratch[s], sample.hashes[k][s]);
    }
    std::sort(scratch.begin(), scratch.end());
    return std::adjacent_find(scratch.begin(), scratch.end()) == scratch.end();
}

// Whether the columns at `positions` are non-empty in every row of the table
// and unique together, compared exactly. The rows' hashes are made in one
// pass; a second puts them in an open-addressing table (slots fetched ahead)
// and stops at the first repeat.
bool uniqueInEveryRow(const Table &table, qint32 first, const std::vector<qint64> &positions,
                      const CellRules &rules)
{
    const qint64 needed = *std::max_element(positions.begin(), positions.end()) + 1;
    const qint32 end = qint32(table.size());
    std::vector<size_t> hashes(size_t(std::max(end - first, 0)));
    Row row;
    for (qint32 r = first; r < end; ++r) {
        table.split(r, row, needed);
        size_t hash = 0;
        for (const qint64 p : positions) {
            if (row[p].isEmpty())
                return false;
            hash = combineHash(hash, cellHash(row[p], rules));
        }
        hashes[size_t(r - first)] = hash;
    }
    struct Slot
    {
        quint32 tag = 0;
        qint32 record = -1;
    };
    size_t capacity = 16;
    while (capacity < hashes.size() * 2)
        capacity *= 2;
    std::vector<Slot> buckets(capacity);
    const auto home = [capacity](size_t hash) {
        return size_t((hash * 0x9E3779B97F4A7C15ULL) >> 20) & (capacity - 1);
    };
    constexpr size_t kAhead = 8;
    Row other;
    for (size_t i = 0; i < hashes.size(); ++i) {
        if (i + kAhead < hashes.size())
            __builtin_prefetch(&buckets[home(hashes[i + kAhead])]);
        const quint32 tag = quint32(hashes[i] >> 32);
        for (size_t slot = home(hashes[i]);; slot = (slot + 1) & (capacity - 1)) {
            Slot &s = buckets[slot];
            if (s.record < 0) {
                s = {tag, qint32(first + i)};
                break;
            }
            if (s.tag != tag)
                continue;
            table.split(qint32(first + i), row, needed);
            table.split(s.record, other, needed);
            bool same = true;
            for (const qint64 p : positions)
                same = same && cellsEqual(row[p], other[p], rules);
            if (same)
                return false;
        }
    }
    return true;
}

} // namespace

std::vector<qsizetype> guessKey(const Table &table1, const Table &table2,
                                const ColumnMapping &mapping, bool header, const CellRules &rules)
{
    const qint32 first = header ? 1 : 0;
    if (table1.size() <= first && table2.size() <= first)
        return {};
    const CellRules exact = rules.exact();
    // The candidates: columns in both files, named where names pair them.
    std::vector<qsizetype> candidates;
    std::vector<qint64> positions1;
    std::vector<qint64> positions2;
    for (size_t c = 0; c < mapping.columns.size() && candidates.size() < kColumnsTried; ++c) {
        const Column &column = mapping.columns[c];
        if (!column.inBoth() || (mapping.byName && !mapping.named(qsizetype(c))))
            continue;
        candidates.push_back(qsizetype(c));
        positions1.push_back(column.index1);
        positions2.push_back(column.index2);
    }
    Sample sample1;
    Sample sample2;
    runBothAtOnce([&] { sample1 = sampleOf(table1, first, positions1, exact); },
                  [&] { sample2 = sampleOf(table2, first, positions2, exact); });

    // Columns empty somewhere in the sample can never be part of the key.
    std::vector<size_t> usable;
    for (size_t k = 0; k < candidates.size(); ++k) {
        if (!sample1.hasEmpty[k] && !sample2.hasEmpty[k])
            usable.push_back(k);
    }
    int checksLeft = kChecksOnEveryRow;
    std::vector<size_t> scratch;
    // Tries one set; true when it is the key (or when no check is left).
    const auto isKey = [&](const std::vector<size_t> &set) {
        if (!uniqueOnSample(sample1, set, scratch) || !uniqueOnSample(sample2, set, scratch))
            return false;
        if (checksLeft-- <= 0)
            return false;
        std::vector<qint64> p1;
        std::vector<qint64> p2;
        for (const size_t k : set) {
            p1.push_back(positions1[k]);
            p2.push_back(positions2[k]);
        }
        bool in1 = false;
        bool in2 = false;
        runBothAtOnce([&] { in1 = uniqueInEveryRow(table1, first, p1, exact); },
                      [&] { in2 = uniqueInEveryRow(table2, first, p2, exact); });
        return in1 && in2;
    };
    const auto answer = [&](const std::vector<size_t> &set) {
        std::vector<qsizetype> key;
        for (const size_t k : set)
            key.push_back(candidates[k]);
        return key;
    };
    for (const size_t a : usable) {
        if (isKey({a}))
            return answer({a});
    }
    const size_t combined = std::min(usable.size(), kColumnsCombined);
    for (size_t i = 0; i < combined; ++i) {
        for (size_t j = i + 1; j < combined; ++j) {
            if (isKey({usable[i], usable[j]}))
                return answer({usable[i], usable[j]});
        }
    }
    for (size_t i = 0; i < combined; ++i) {
        for (size_t j = i + 1; j < combined; ++j) {
            for (size_t k = j + 1; k < combined; ++k) {
                if (isKey({usable[i], usable[j], usable[k]}))
                    return answer({usable[i], usable[j], usable[k]});
            }
        }
    }
    return {};
}

} // namespace Csv
