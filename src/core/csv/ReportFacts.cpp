#include "csv/ReportFacts.h"

#include <algorithm>

#include <QStringList>

namespace Csv {

ReportFacts::ReportFacts(const RowComparison &comparison)
    : m_c(comparison), m_order(displayOrder(comparison)),
      m_rank(comparison.mapping.columns.size(), 0),
      m_changedRows(comparison.mapping.columns.size(), 0)
{
    for (size_t i = 0; i < m_order.size(); ++i)
        m_rank[size_t(m_order[i])] = qint32(i);
    for (const qint32 k : comparison.changedColumnList)
        ++m_changedRows[size_t(k)];
}

const std::vector<qint32> &ReportFacts::changes(const ChangedRow &row,
                                                std::vector<qint32> &scratch) const
{
    const std::span<const qint32> columns = m_c.changedColumns(row);
    scratch.assign(columns.begin(), columns.end());
    std::sort(scratch.begin(), scratch.end(),
              [this](qint32 a, qint32 b) { return m_rank[size_t(a)] < m_rank[size_t(b)]; });
    return scratch;
}

std::vector<std::pair<QString, QString>> optionLines(const RowComparison &c,
                                                     const ReportOptions &options)
{
    std::vector<std::pair<QString, QString>> lines;
    QStringList key;
    for (const qsizetype k : c.keyColumns)
        key << c.mapping.label(k);
    lines.emplace_back(QStringLiteral("Key"),
                       key.isEmpty()
                           ? QStringLiteral("none: whole rows compared")
                           : key.join(QStringLiteral(", "))
                                 + (c.keyGuessed ? QStringLiteral(" (guessed)") : QString()));
    lines.emplace_back(QStringLiteral("Columns"), c.mapping.byName
                                                      ? QStringLiteral("matched by name")
                                                      : QStringLiteral("matched by position"));
    std::vector<char> used(c.mapping.columns.size(), 0);
    for (const qsizetype k : c.comparedColumns)
        used[size_t(k)] = 1;
    for (const qsizetype k : c.keyColumns)
        used[size_t(k)] = 1;
    QStringList ignored;
    for (size_t k = 0; k < c.mapping.columns.size(); ++k) {
        if (c.mapping.columns[k].inBoth() && !used[k])
            ignored << c.mapping.label(qsizetype(k));
    }
    if (!ignored.isEmpty())
        lines.emplace_back(QStringLiteral("Ignored columns"), ignored.join(QStringLiteral(", ")));
    QStringList renamed;
    for (const qsizetype k : c.mapping.renamed)
        renamed << c.mapping.label(k);
    if (!renamed.isEmpty())
        lines.emplace_back(QStringLiteral("Renamed columns"), renamed.join(QStringLiteral(", ")));
    // Exact comparison goes without saying.
    if (options.rules && !options.rules->plain()) {
        QStringList rules;
        if (options.rules->ignoreCase)
            rules << QStringLiteral("case ignored");
        if (options.rules->ignoreSpace)
            rules << QStringLiteral("blanks around cells ignored");
        if (options.rules->numbers)
            rules << (options.rules->tolerance > 0 ? QStringLiteral("numbers by value, within %1")
                                                         .arg(options.rules->tolerance, 0, 'g', 17)
                                                   : QStringLiteral("numbers by value"));
        lines.emplace_back(QStringLiteral("Cells"), rules.join(QStringLiteral("; ")));
    }
    return lines;
}

QString columnPlace(const Column &column)
{
    if (column.inBoth())
        return QStringLiteral("both files");
    return column.index1 >= 0 ? QStringLiteral("file 1 only") : QStringLiteral("file 2 only");
}

qint64 reportRows(const RowComparison &comparison)
{
    qint64 rows =
        qint64(comparison.removed.size() + comparison.added.size() + comparison.changed.size());
    for (const DuplicateKey &d : comparison.duplicateKeys)
        rows += qint64(d.records1.size() + d.records2.size());
    return rows;
}

} // namespace Csv
