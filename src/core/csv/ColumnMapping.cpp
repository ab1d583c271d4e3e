#include "csv/ColumnMapping.h"

#include <algorithm>
#include <deque>

#include <QHash>
#include <QStringList>

#include "csv/CsvReader.h"

namespace Csv {

namespace {

QString normalisedName(QStringView name, const CellRules &rules)
{
    QString scratch;
    return normalisedCell(name, rules, scratch).toString();
}

} // namespace

ColumnMapping mapColumns(const Table &table1, const Table &table2, bool header,
                         const CellRules &rules)
{
    ColumnMapping mapping;
    mapping.byName = header;
    mapping.width1 = table1.size() > 0 ? table1.cellCount(0) : -1;
    mapping.width2 = table2.size() > 0 ? table2.cellCount(0) : -1;
    if (!header) {
        const qsizetype width = std::max(table1.maxCellCount(), table2.maxCellCount());
        for (qsizetype i = 0; i < width; ++i)
            mapping.columns.push_back({QString::number(i + 1), i, i});
        return mapping;
    }

    const qsizetype named1 = std::max<qsizetype>(mapping.width1, 0);
    const qsizetype named2 = std::max<qsizetype>(mapping.width2, 0);
    QHash<QString, std::deque<qsizetype>> unpaired2;
    for (qsizetype j = 0; j < named2; ++j)
        unpaired2[normalisedName(table2.cell(0, j), rules)].push_back(j);
    std::vector<bool> paired2(size_t(named2), false);
    qsizetype lastIndex2 = -1;
    for (qsizetype i = 0; i < named1; ++i) {
        Column column{table1.cell(0, i).toString(), i, -1};
        auto found = unpaired2.find(normalisedName(table1.cell(0, i), rules));
        if (found != unpaired2.end() && !found->empty()) {
            column.index2 = found->front();
            found->pop_front();
            paired2[size_t(column.index2)] = true;
            mapping.reordered = mapping.reordered || column.index2 < lastIndex2;
            lastIndex2 = column.index2;
        }
        mapping.columns.push_back(std::move(column));
    }
    for (qsizetype j = 0; j < named2; ++j) {
        if (!paired2[size_t(j)])
            mapping.columns.push_back({table2.cell(0, j).toString(), -1, j});
    }
    // Rows longer than their header: the extra cells pair by position.
    const qsizetype extra =
        std::max(table1.maxCellCount() - named1, table2.maxCellCount() - named2);
    for (qsizetype k = 0; k < extra; ++k)
        mapping.columns.push_back({QString::number(named1 + k + 1), named1 + k, named2 + k});
    return mapping;
}

ColumnPick pickColumns(const ColumnMapping &mapping, const QString &list, bool inBoth, bool empty1,
                       bool empty2, const CellRules &rules)
{
    ColumnPick pick;
    const auto byName = [&](const QString &item, bool normalise) -> qsizetype {
        if (!mapping.byName)
            return -1;
        const QString wanted = normalise ? normalisedName(item.trimmed(), rules) : item;
        for (size_t c = 0; c < mapping.columns.size(); ++c) {
            const Column &column = mapping.columns[c];
            const bool named = (column.index1 >= 0 && column.index1 < mapping.width1)
                               || (column.index2 >= 0 && column.index2 < mapping.width2);
            if (!named)
                continue;
            const QString name = normalise ? normalisedName(column.name, rules) : column.name;
            if (name == wanted)
                return qsizetype(c);
        }
        return -1;
    };
    const auto byNumber = [&](const QString &item) -> qsizetype {
        bool isNumber = false;
        const qsizetype number = item.trimmed().toLongLong(&isNumber);
        if (!isNumber || number < 1)
            return -2; // not a number at all
        const bool useFile1 = !empty1;
        for (size_t c = 0; c < mapping.columns.size(); ++c) {
            const Column &column = mapping.columns[c];
            if ((useFile1 ? column.index1 : column.index2) == number - 1)
                return qsizetype(c);
        }
        return -1;
    };

    for (const QString &item : list.split(u',')) {
        qsizetype found = byName(item, false);
        if (found < 0)
            found = byName(item, true);
        const bool nameFound = found >= 0;
        if (!nameFound)
            found = byNumber(item);
        if (found < 0) {
            pick.errorFile = 0;
            if (found == -2 && !mapping.byName)
                pick.error = QStringLiteral("\"%1\" is not a column number (the files are read "
                                            "without a header)")
                                 .arg(item);
            else if (found == -2)
                pick.error = QStringLiteral("no column \"%1\"").arg(item);
            else
                pick.error = QStringLiteral("no column %1").arg(item.trimmed());
            return pick;
        }
        const Column &column = mapping.columns[size_t(found)];
        if (inBoth && !column.inBoth()) {
            const bool missingIn1 = column.index1 < 0 && !empty1;
            const bool missingIn2 = column.index2 < 0 && !empty2;
            if (missingIn1 || missingIn2) {
                pick.errorFile = missingIn1 ? 1 : 2;
                pick.error = QStringLiteral("no column \"%1\"").arg(column.name);
                return pick;
            }
        }
        if (std::find(pick.columns.begin(), pick.columns.end(), found) == pick.columns.end())
            pick.columns.push_back(found);
    }
    return pick;
}

} // namespace Csv
