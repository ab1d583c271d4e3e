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
    RowIndex index2;
    index2.build(
        size_t(named2), 0,
        [&](qint32 j) { return narrowHash(cellHash(mapping.header2[j], rules)); },
        [&](qint32 a, qint32 b) { return sameName(mapping.header2[a], mapping.header2[b], rules); },
        [](qint64) {});
    std::vector<qint32> nextFree(index2.slotCount(), -2); // -2: the group's head
    std::vector<char> paired2(size_t(named2), 0);
    qint64 lastIndex2 = -1;
    for (qsizetype i = 0; i < named1; ++i) {
        Column column{i, -1};
        const QByteArrayView name = mapping.header1[i];
        const qint32 group = index2.find(narrowHash(cellHash(name, rules)), [&](qint32 j) {
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

bool ColumnMapping::isRenamed(qsizetype c) const
{
    return std::binary_search(renamed.begin(), renamed.end(), c);
}

QByteArrayView ColumnMapping::nameBytesIn(qsizetype c, int file) const
{
    if (!byName)
        return {};
    const Column &column = columns[size_t(c)];
    if (file == 1)
        return column.index1 >= 0 && column.index1 < width1 ? header1[column.index1]
                                                            : QByteArrayView();
    return column.index2 >= 0 && column.index2 < width2 ? header2[column.index2] : QByteArrayView();
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
    if (isRenamed(c))
        return QString::fromUtf8(nameBytesIn(c, 1)) + u'\u2192'
               + QString::fromUtf8(nameBytesIn(c, 2));
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
        // A renamed column answers to its name in file 2 and to its label too.
        for (const qsizetype c : mapping.renamed) {
            m_otherNames.push_back({c, mapping.nameBytesIn(c, 2).toByteArray()});
            m_otherNames.push_back({c, mapping.label(c).toUtf8()});
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
        const auto consider = [&](QByteArrayView candidate, qsizetype c) {
            if (candidate == QByteArrayView(bytes))
                exact = earliest(exact, c);
            else if (cellsEqual(candidate, bytes, m_rules))
                alike = earliest(alike, c);
        };
        for (auto it = begin; it != end; ++it)
            consider(m_mapping.nameBytes(it->second), it->second);
        for (const auto &[c, other] : m_otherNames)
            consider(other, c);
        return exact >= 0 ? exact : alike;
    }

private:
    const ColumnMapping &m_mapping;
    CellRules m_rules;
    std::vector<qsizetype> m_byPosition;
    std::unordered_multimap<size_t, qsizetype> m_byName;
    std::vector<std::pair<qsizetype, QByteArray>> m_otherNames; // few: paired by hand
};

// The column a choice names, or -1.
qsizetype findColumn(const ColumnMapping &mapping, const ColumnFinder &finder,
                     const ColumnChoice &choice)
{
    switch (choice.by) {
    case ColumnChoice::By::Position:
        return choice.position >= 1 ? finder.byPosition(choice.position - 1) : -1;
    case ColumnChoice::By::Place:
        for (size_t c = 0; c < mapping.columns.size(); ++c) {
            const Column &column = mapping.columns[c];
            if (column.index1 == choice.index1 && column.index2 == choice.index2)
                return qsizetype(c);
        }
        break;
    case ColumnChoice::By::Name:
        break;
    }
    if (!mapping.byName)
        return -1;
    const qsizetype found = finder.byName(choice.text);
    return found >= 0 ? found : finder.byName(choice.text.trimmed());
}

} // namespace

ColumnPick pickColumns(const ColumnMapping &mapping, const ColumnSelection &selection, bool inBoth,
                       bool empty1, bool empty2, const CellRules &rules)
{
    ColumnPick pick;
    const ColumnFinder finder(mapping, !empty1, nameRules(rules));
    std::vector<char> picked(mapping.columns.size(), 0);
    for (const ColumnChoice &choice : selection) {
        const qsizetype found = findColumn(mapping, finder, choice);
        if (found < 0) {
            if (choice.by == ColumnChoice::By::Position)
                pick.error = QStringLiteral("no column %1").arg(choice.text);
            else if (mapping.byName || choice.by == ColumnChoice::By::Place)
                pick.error = QStringLiteral("no column \"%1\"").arg(choice.text);
            else
                pick.error = QStringLiteral("\"%1\" is not a column number (the files are "
                                            "read without a header)")
                                 .arg(choice.text);
            return pick;
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

RenameParse parseRename(const QString &text)
{
    // CSV with '=' for the delimiter: a side is quoted to hold '=', ',' or a
    // line break, and a quote inside quotes is doubled.
    RenameParse parse;
    std::vector<ListItem> sides(1);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        ListItem &side = sides.back();
        if (c == u'"' && side.text.isEmpty() && !side.quoted) {
            side.quoted = true;
            for (++i; i < text.size(); ++i) {
                if (text[i] == u'"' && i + 1 < text.size() && text[i + 1] == u'"')
                    side.text += text[++i];
                else if (text[i] == u'"')
                    break;
                else
                    side.text += text[i];
            }
            if (i >= text.size()) {
                parse.error = QStringLiteral("\"%1\": a quote is not closed").arg(text);
                return parse;
            }
            if (i + 1 < text.size() && text[i + 1] != u'=') {
                parse.error = QStringLiteral("\"%1\": text after a closing quote").arg(text);
                return parse;
            }
        } else if (c == u'=') {
            sides.emplace_back();
        } else if (c == u'\n' || c == u'\r') {
            parse.error = QStringLiteral("\"%1\": a line break outside quotes").arg(text);
            return parse;
        } else {
            side.text += c;
        }
    }
    const auto blank = [](const ListItem &side) { return !side.quoted && side.text.isEmpty(); };
    if (sides.size() != 2 || blank(sides[0]) || blank(sides[1])) {
        parse.error =
            QStringLiteral("\"%1\" is not OLD=NEW (quote a name that holds \"=\")").arg(text);
        return parse;
    }
    parse.rename = {columnChoice(sides[0]), columnChoice(sides[1])};
    return parse;
}

namespace {

// The position (0-based) of a column in one file's header or row, or -1.
qint64 positionIn(const ColumnMapping &mapping, int file, const ColumnChoice &choice,
                  const CellRules &rules)
{
    const qsizetype width = file == 1 ? mapping.width1 : mapping.width2;
    if (choice.by == ColumnChoice::By::Position) {
        const qint64 number = choice.position;
        qint64 last = -1;
        for (const Column &column : mapping.columns)
            last = std::max(last, file == 1 ? column.index1 : column.index2);
        return number >= 1 && number - 1 <= last ? number - 1 : -1;
    }
    if (!mapping.byName)
        return -1;
    const Row &header = file == 1 ? mapping.header1 : mapping.header2;
    const QByteArray bytes = choice.text.toUtf8();
    qint64 alike = -1;
    for (qsizetype i = 0; i < width; ++i) {
        if (header[i] == QByteArrayView(bytes))
            return i;
        if (alike < 0 && cellsEqual(header[i], bytes, rules))
            alike = i;
    }
    return alike;
}

} // namespace

ColumnPick renameColumns(ColumnMapping &mapping, const std::vector<ColumnRename> &renames,
                         const CellRules &rules)
{
    const CellRules names = nameRules(rules);
    // Where each file's positions stand in the mapping.
    const auto where = [&](int file) {
        std::vector<qsizetype> at;
        for (size_t c = 0; c < mapping.columns.size(); ++c) {
            const qint64 index = file == 1 ? mapping.columns[c].index1 : mapping.columns[c].index2;
            if (index >= 0) {
                if (size_t(index) >= at.size())
                    at.resize(size_t(index) + 1, -1);
                at[size_t(index)] = qsizetype(c);
            }
        }
        return at;
    };
    std::vector<qsizetype> at1 = where(1);
    std::vector<qsizetype> at2 = where(2);
    std::vector<char> byHand(mapping.columns.size(), 0);
    for (const ColumnRename &rename : renames) {
        const qint64 p1 = positionIn(mapping, 1, rename.column1, names);
        const qint64 p2 = positionIn(mapping, 2, rename.column2, names);
        if (p1 < 0 || p2 < 0)
            return {{},
                    QStringLiteral("no column \"%1\" (--map)")
                        .arg(p1 < 0 ? rename.column1.text : rename.column2.text),
                    p1 < 0 ? 1 : 2};
        const qsizetype a = size_t(p1) < at1.size() ? at1[size_t(p1)] : -1;
        const qsizetype b = size_t(p2) < at2.size() ? at2[size_t(p2)] : -1;
        if (a < 0 || b < 0)
            return {{},
                    QStringLiteral("no column \"%1\" (--map)")
                        .arg(a < 0 ? rename.column1.text : rename.column2.text),
                    a < 0 ? 1 : 2};
        if (byHand[size_t(a)] || (byHand[size_t(b)] && a != b))
            return {{},
                    QStringLiteral("column \"%1\" is paired twice (--map)")
                        .arg(byHand[size_t(a)] ? rename.column1.text : rename.column2.text),
                    byHand[size_t(a)] ? 1 : 2};
        // a = (p1, q), b = (x, p2) become (p1, p2) and (x, q): the columns
        // each was paired with before pair with each other, or stand alone.
        if (a != b) {
            const qint64 q = mapping.columns[size_t(a)].index2;
            mapping.columns[size_t(a)].index2 = p2;
            mapping.columns[size_t(b)].index2 = q;
            at2[size_t(p2)] = a;
            if (q >= 0)
                at2[size_t(q)] = b;
        }
        byHand[size_t(a)] = 1;
    }
    // Drop the columns left with neither file, keep the renamed ones' indices.
    std::vector<Column> kept;
    std::vector<qsizetype> renamed;
    for (size_t c = 0; c < mapping.columns.size(); ++c) {
        const Column &column = mapping.columns[c];
        if (column.index1 < 0 && column.index2 < 0)
            continue;
        kept.push_back(column);
        if (byHand[c])
            renamed.push_back(qsizetype(kept.size() - 1));
    }
    mapping.columns = std::move(kept);
    mapping.renamed.clear();
    for (const qsizetype c : renamed) {
        if (mapping.nameBytesIn(c, 1) != mapping.nameBytesIn(c, 2))
            mapping.renamed.push_back(c);
    }
    mapping.reordered = false;
    qint64 last = -1;
    for (const Column &column : mapping.columns) {
        if (column.index1 < 0 || column.index2 < 0)
            continue;
        mapping.reordered = mapping.reordered || column.index2 < last;
        last = column.index2;
    }
    return {};
}

} // namespace Csv
