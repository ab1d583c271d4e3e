#include "csv/ColumnPairs.h"

#include <algorithm>
#include <unordered_map>

#include "csv/KeyGuess.h"

namespace Csv {

namespace {

constexpr size_t kColumnsWeighed = 64;
constexpr int kEqualEnough = 90; // percent of the sampled rows
constexpr qsizetype kFewestRows = 3;

// The name with case, separators and blanks set aside.
QString looseName(QByteArrayView name)
{
    QString loose;
    for (const QChar c : QString::fromUtf8(name).toCaseFolded()) {
        if (!c.isSpace() && c != u'_' && c != u'-' && c != u'.')
            loose += c;
    }
    return loose;
}

int nameLikeness(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty())
        return 0;
    if (a == b)
        return 2;
    const QString &shorter = a.size() < b.size() ? a : b;
    const QString &longer = a.size() < b.size() ? b : a;
    return shorter.size() >= 3 && (longer.startsWith(shorter) || longer.endsWith(shorter)) ? 1 : 0;
}

// Rows of file 1 spread over it, each with the row of file 2 of the same key
// (a key found twice in file 2 is left out).
std::vector<std::pair<qint32, qint32>> matchedRows(const Table &table1, const Table &table2,
                                                   const ColumnMapping &mapping,
                                                   const std::vector<qsizetype> &key, qint32 first,
                                                   qsizetype wanted, const CellRules &rules)
{
    std::vector<qint64> key1;
    std::vector<qint64> key2;
    for (const qsizetype c : key) {
        key1.push_back(mapping.columns[size_t(c)].index1);
        key2.push_back(mapping.columns[size_t(c)].index2);
    }
    const qint64 needed1 = *std::max_element(key1.begin(), key1.end()) + 1;
    const qint64 needed2 = *std::max_element(key2.begin(), key2.end()) + 1;
    const auto hashOf = [&](const Row &row, const std::vector<qint64> &positions) {
        size_t hash = 0;
        for (const qint64 p : positions)
            hash = combineHash(hash, cellHash(row[p], rules));
        return hash;
    };
    const qsizetype rows1 = table1.size() - first;
    std::unordered_multimap<size_t, qint32> sampled;
    Row row1;
    Row row2;
    for (qsizetype s = 0; s < std::min(wanted, rows1); ++s) {
        const qint32 r1 = qint32(first + s * rows1 / std::min(wanted, rows1));
        table1.split(r1, row1, needed1);
        sampled.emplace(hashOf(row1, key1), r1);
    }
    std::vector<std::pair<qint32, qint32>> pairs;
    std::unordered_map<qint32, qsizetype> pairOf; // record of file 1 -> index in pairs
    // File 2 is read until every sampled key has been met, at most once through.
    for (qint32 r2 = first; r2 < qint32(table2.size()) && pairs.size() < sampled.size(); ++r2) {
        table2.split(r2, row2, needed2);
        const auto [begin, end] = sampled.equal_range(hashOf(row2, key2));
        for (auto it = begin; it != end; ++it) {
            table1.split(it->second, row1, needed1);
            bool same = true;
            for (size_t k = 0; k < key1.size() && same; ++k)
                same = cellsEqual(row1[key1[k]], row2[key2[k]], rules);
            if (!same)
                continue;
            const auto [at, fresh] = pairOf.emplace(it->second, qsizetype(pairs.size()));
            if (fresh)
                pairs.push_back({it->second, r2});
            else
                pairs[size_t(at->second)].second = -1; // the key twice in file 2
        }
    }
    std::erase_if(pairs, [](const auto &pair) { return pair.second < 0; });
    return pairs;
}

} // namespace

std::vector<SuggestedPair> suggestColumnPairs(const Table &table1, const Table &table2,
                                              const ColumnMapping &mapping,
                                              std::vector<qsizetype> keyColumns,
                                              const CellRules &rules, qsizetype sampleRows)
{
    std::vector<qsizetype> only1;
    std::vector<qsizetype> only2;
    for (size_t c = 0; c < mapping.columns.size(); ++c) {
        const Column &column = mapping.columns[c];
        if (column.index2 < 0 && only1.size() < kColumnsWeighed)
            only1.push_back(qsizetype(c));
        if (column.index1 < 0 && only2.size() < kColumnsWeighed)
            only2.push_back(qsizetype(c));
    }
    if (only1.empty() || only2.empty())
        return {};
    const qint32 first = mapping.byName ? 1 : 0;
    const CellRules exact = rules.exact();

    // Equal cells on rows matched by key, for every pair of candidates.
    std::vector<qsizetype> equal(only1.size() * only2.size(), 0);
    std::vector<qsizetype> filled(only1.size() * only2.size(), 0);
    if (keyColumns.empty())
        keyColumns = guessKey(table1, table2, mapping, mapping.byName, rules);
    if (!keyColumns.empty()) {
        Row row1;
        Row row2;
        for (const auto &[r1, r2] :
             matchedRows(table1, table2, mapping, keyColumns, first, sampleRows, exact)) {
            table1.split(r1, row1);
            table2.split(r2, row2);
            for (size_t i = 0; i < only1.size(); ++i) {
                const QByteArrayView a = row1[mapping.columns[size_t(only1[i])].index1];
                for (size_t j = 0; j < only2.size(); ++j) {
                    const QByteArrayView b = row2[mapping.columns[size_t(only2[j])].index2];
                    if (a.isEmpty() && b.isEmpty())
                        continue;
                    ++filled[i * only2.size() + j];
                    equal[i * only2.size() + j] += cellsEqual(a, b, rules) ? 1 : 0;
                }
            }
        }
    }

    struct Weighed
    {
        SuggestedPair pair;
        int strength = 0;
    };
    std::vector<Weighed> weighed;
    std::vector<QString> names2;
    for (const qsizetype c : only2)
        names2.push_back(looseName(mapping.nameBytesIn(c, 2)));
    for (size_t i = 0; i < only1.size(); ++i) {
        const QString name1 = looseName(mapping.nameBytesIn(only1[i], 1));
        for (size_t j = 0; j < only2.size(); ++j) {
            const int likeness = nameLikeness(name1, names2[j]);
            const qsizetype rows = filled[i * only2.size() + j];
            const int percent = rows > 0 ? int(equal[i * only2.size() + j] * 100 / rows) : -1;
            const bool valuesAgree = rows >= kFewestRows && percent >= kEqualEnough;
            if (likeness == 0 && !valuesAgree)
                continue;
            const PairReason reason = likeness == 2 ? PairReason::SameName
                                      : valuesAgree ? PairReason::EqualValues
                                                    : PairReason::SimilarName;
            // Names alike and values equal beat either alone; values decide among those.
            const int strength = likeness * 1000 + (valuesAgree ? 500 : 0) + std::max(percent, 0);
            weighed.push_back({{only1[i], only2[j], reason, percent}, strength});
        }
    }
    std::stable_sort(weighed.begin(), weighed.end(),
                     [](const Weighed &a, const Weighed &b) { return a.strength > b.strength; });
    std::vector<SuggestedPair> pairs;
    std::vector<char> taken(mapping.columns.size(), 0);
    for (const Weighed &w : weighed) {
        if (taken[size_t(w.pair.column1)] || taken[size_t(w.pair.column2)])
            continue;
        taken[size_t(w.pair.column1)] = taken[size_t(w.pair.column2)] = 1;
        pairs.push_back(w.pair);
    }
    return pairs;
}

} // namespace Csv
