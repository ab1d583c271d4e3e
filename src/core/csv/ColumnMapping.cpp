#include "csv/ColumnMapping.h"

#include <algorithm>
#include <unordered_map>

#include "csv/RowIndex.h"

namespace Csv {

namespace {

// The rules names are compared under: a name is never a number.
CellRules nameRules(const CellRules &rules)
{
    CellRules names = rules.exact();
    names.numbers = false;
    return names;
}

bool sameName(QByteArrayView a, QByteArrayView b, const CellRules &rules)
{
    return cellsEqual(a, b, rules);
}

// Pairs file 1's names with file 2's: the n-th of a name with the n-th of
// the same name. Linear: file 2's names are grouped by a hash index.
void pairByName(ColumnMapping &mapping, qsizetype named1, qsizetype named2, const CellRules &rules)
{
    std::vector<size_t> hashes(static_cast<size_t>(named2));
    for (qsizetype j = 0; j < named2; ++j)
        hashes[size_t(j)] = cellHash(mapping.header2[j], rules);
    RowIndex index2;
    index2.build(hashes, 0, [&](qint32 a, qint32 b) {
        return sameName(mapping.header2[a], mapping.header2[b], rules);
    });
    std::vector<qint32> nextFree(index2.slotCount(), -2); // -2: the group's head
    std::vector<char> paired2(size_t(named2), 0);
    qint64 lastIndex2 = -1;
    for (qsizetype i = 0; i < named1; ++i) {
        Column column{i, -1};
        const QByteArrayView name = mapping.header1[i];
        const qint32 group = index2.find(cellHash(name, rules), [&](qint32 j) {
            return sameName(mapping.header2[j], name, rules);
        });
        if (group >= 0) {
            qint32 &free = nextFree[size_t(group)];
            if (free == -2)
                free = index2.group(group).head;
            if (free >= 0) {
                column.index2 = free;
                free = index2.next(free);
                paired2[size_t(column.index2)] = 1;
                mapping.reordered = mapping.reordered || column.index2 < lastIndex2;
                lastIndex2 = column.index2;
            }
        }
        mapping.columns.push_back(column);
    }
    for (qsizetype j = 0; j < named2; ++j) {
        if (!paired2[size_t(j)])
            mapping.columns.push_back({-1, j});
    }
}

} // namespace

bool ColumnMapping::named(qsizetype c) const
{
    const Column &column = columns[size_t(c)];
    return byName
           && ((column.index1 >= 0 && column.index1 < width1)
               || (column.index2 >= 0 && column.index2 < width2));
}

QByteArrayView ColumnMapping::nameBytes(qsizetype c) const
{
    if (!named(c))
        return {};
    const Column &column = columns[size_t(c)];
    return (column.index1 >= 0 && column.index1 < width1) ? header1[column.index1]
                                                          : header2[column.index2];
}

qint64 ColumnMapping::number(qsizetype c) const
{
    const Column &column = columns[size_t(c)];
    return (column.index2 >= 0 ? column.index2 : column.index1) + 1;
}

QString ColumnMapping::name(qsizetype c) const
{
    if (named(c))
        return QString::fromUtf8(nameBytes(c));
    const Column &column = columns[size_t(c)];
    return QString::number((column.index1 >= 0 ? column.index1 : column.index2) + 1);
}

QString ColumnMapping::label(qsizetype c) const
{
    return named(c) ? name(c) : u'#' + name(c);
}

ColumnMapping mapColumns(const Table &table1, const Table &table2, bool header,
                         const CellRules &rules)
{
    ColumnMapping mapping;
    mapping.byName = header;
    mapping.width1 = table1.size() > 0 ? table1.cellCount(0) : -1;
    mapping.width2 = table2.size() > 0 ? table2.cellCount(0) : -1;
    if (!header) {
        const qsizetype width = std::max(table1.maxCellCount(), table2.maxCellCount());
        mapping.columns.reserve(size_t(width));
        for (qsizetype i = 0; i < width; ++i)
            mapping.columns.push_back({i, i});
        return mapping;
    }
    if (table1.size() > 0)
        table1.split(0, mapping.header1);
    if (table2.size() > 0)
        table2.split(0, mapping.header2);
    const qsizetype named1 = std::max<qsizetype>(mapping.width1, 0);
    const qsizetype named2 = std::max<qsizetype>(mapping.width2, 0);
    pairByName(mapping, named1, named2, nameRules(rules));
    // Rows longer than their header: the extra cells pair by position.
    const qsizetype extra =
        std::max(table1.maxCellCount() - named1, table2.maxCellCount() - named2);
    for (qsizetype k = 0; k < extra; ++k)
        mapping.columns.push_back({named1 + k, named2 + k});
    return mapping;
}

namespace {

// Finds columns by name or position, each lookup in constant time.
class ColumnFinder
{
public:
    ColumnFinder(const ColumnMapping &mapping, bool useFile1, const CellRules &rules)
        : m_mapping(mapping), m_rules(rules)
    {
        for (size_t c = 0; c < mapping.columns.size(); ++c) {
            const qint64 position =
                useFile1 ? mapping.columns[c].index1 : mapping.columns[c].index2;
            if (position >= 0) {
                if (size_t(position) >= m_byPosition.size())
                    m_byPosition.resize(size_t(position) + 1, -1);
                m_byPosition[size_t(position)] = qsizetype(c);
            }
            if (mapping.named(qsizetype(c)))
                m_byName.emplace(cellHash(mapping.nameBytes(qsizetype(c)), m_rules), qsizetype(c));
        }
    }
    qsizetype byPosition(qint64 position) const
    {
        return size_t(position) < m_byPosition.size() ? m_byPosition[size_t(position)] : -1;
    }
    // The first column of the name as written, else the first under the rules.
    qsizetype byName(const QString &name) const
    {
        const QByteArray bytes = name.toUtf8();
        const auto [begin, end] = m_byName.equal_range(cellHash(bytes, m_rules));
        qsizetype exact = -1;
        qsizetype alike = -1;
        const auto earliest = [](qsizetype best, qsizetype c) {
            return best < 0 ? c : std::min(best, c);
        };
        for (auto it = begin; it != end; ++it) {
            const QByteArrayView candidate = m_mapping.nameBytes(it->second);
            if (candidate == QByteArrayView(bytes))
                exact = earliest(exact, it->second);
            else if (cellsEqual(candidate, bytes, m_rules))
                alike = earliest(alike, it->second);
        }
        return exact >= 0 ? exact : alike;
    }

private:
    const ColumnMapping &m_mapping;
    CellRules m_rules;
    std::vector<qsizetype> m_byPosition;
    std::unordered_multimap<size_t, qsizetype> m_byName;
};

} // namespace

ColumnPick pickColumns(const ColumnMapping &mapping, const QString &list, bool inBoth, bool empty1,
                       bool empty2, const CellRules &rules)
{
    ColumnPick pick;
    const ColumnFinder finder(mapping, !empty1, nameRules(rules));
    std::vector<char> picked(mapping.columns.size(), 0);
    for (const ListItem &item : splitList(list)) {
        bool isNumber = false;
        const qint64 number = item.quoted ? 0 : item.text.trimmed().toLongLong(&isNumber);
        qsizetype found = -1;
        if (isNumber) {
            found = number >= 1 ? finder.byPosition(number - 1) : -1;
            if (found < 0) {
                pick.error = QStringLiteral("no column %1").arg(item.text.trimmed());
                return pick;
            }
        } else {
            found = mapping.byName ? finder.byName(item.text) : -1;
            if (found < 0)
                found = mapping.byName ? finder.byName(item.text.trimmed()) : -1;
            if (found < 0) {
                pick.error = mapping.byName
                                 ? QStringLiteral("no column \"%1\"").arg(item.text)
                                 : QStringLiteral("\"%1\" is not a column number (the files are "
                                                  "read without a header)")
                                       .arg(item.text);
                return pick;
            }
        }
        const Column &column = mapping.columns[size_t(found)];
        if (inBoth && !column.inBoth()) {
            const bool missingIn1 = column.index1 < 0 && !empty1;
            const bool missingIn2 = column.index2 < 0 && !empty2;
            if (missingIn1 || missingIn2) {
                pick.errorFile = missingIn1 ? 1 : 2;
                pick.error = QStringLiteral("no column \"%1\"").arg(mapping.name(found));
                return pick;
            }
        }
        if (!picked[size_t(found)]) {
            picked[size_t(found)] = 1;
            pick.columns.push_back(found);
        }
    }
    return pick;
}

} // namespace Csv
