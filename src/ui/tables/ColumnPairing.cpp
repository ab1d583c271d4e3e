#include "tables/ColumnPairing.h"

#include <QCoreApplication>

#include "csv/ColumnPairs.h"

namespace Tables {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("ColumnPairing", text);
}

QString reasonText(const Csv::SuggestedPair &suggested)
{
    switch (suggested.reason) {
    case Csv::PairReason::SameName:
        return tr("the same name but for case and separators");
    case Csv::PairReason::SimilarName:
        return suggested.equalPercent >= 0
                   ? tr("similar names, %1% equal values").arg(suggested.equalPercent)
                   : tr("similar names");
    case Csv::PairReason::EqualValues:
        break;
    }
    return tr("%1% equal values on rows matched by key").arg(suggested.equalPercent);
}

QString quoted(const QString &name)
{
    return u'"' + QString(name).replace(u'"', QLatin1String("\"\"")) + u'"';
}

} // namespace

ColumnPairing ColumnPairing::of(const Csv::Table &table1, const Csv::Table &table2, bool header,
                                const Csv::CellRules &rules, const Csv::ColumnSelection &key,
                                const std::vector<Csv::ColumnRename> &used)
{
    ColumnPairing pairing;
    // Suggestions weigh the columns as they pair by name alone.
    const Csv::ColumnMapping mapping = Csv::mapColumns(table1, table2, header, rules);
    for (int file = 1; file <= 2; ++file) {
        QStringList &names = pairing.m_columns[size_t(file - 1)];
        std::vector<char> &hasName = pairing.m_hasName[size_t(file - 1)];
        for (qsizetype c = 0; c < qsizetype(mapping.columns.size()); ++c) {
            const Csv::Column &column = mapping.columns[size_t(c)];
            const qint64 position = file == 1 ? column.index1 : column.index2;
            if (position < 0)
                continue;
            if (position >= names.size()) {
                names.resize(position + 1);
                hasName.resize(size_t(position) + 1, 0);
            }
            const QByteArrayView name = mapping.nameBytesIn(c, file);
            hasName[size_t(position)] =
                header && (file == 1 ? position < mapping.width1 : position < mapping.width2);
            names[position] = hasName[size_t(position)] ? QString::fromUtf8(name)
                                                        : u'#' + QString::number(position + 1);
        }
    }
    for (const Csv::ColumnRename &rename : used) {
        const qsizetype a = pairing.find(1, rename.column1);
        const qsizetype b = pairing.find(2, rename.column2);
        if (a >= 0 && b >= 0 && pairing.usedPairWith(1, a, -1) < 0
            && pairing.usedPairWith(2, b, -1) < 0)
            pairing.m_pairs.push_back({a, b, tr("paired by hand"), true});
    }
    const Csv::ColumnPick picked =
        Csv::pickColumns(mapping, key, true, table1.size() == 0, table2.size() == 0, rules);
    const std::vector<qsizetype> keyColumns =
        picked.error.isEmpty() ? picked.columns : std::vector<qsizetype>();
    for (const Csv::SuggestedPair &suggested :
         Csv::suggestColumnPairs(table1, table2, mapping, keyColumns, rules)) {
        const qsizetype a = mapping.columns[size_t(suggested.column1)].index1;
        const qsizetype b = mapping.columns[size_t(suggested.column2)].index2;
        if (pairing.usedPairWith(1, a, -1) < 0 && pairing.usedPairWith(2, b, -1) < 0)
            pairing.m_pairs.push_back({a, b, reasonText(suggested), false});
    }
    return pairing;
}

qsizetype ColumnPairing::find(int file, const Csv::ColumnChoice &choice) const
{
    const QStringList &names = columns(file);
    if (choice.by == Csv::ColumnChoice::By::Position)
        return choice.position >= 1 && choice.position <= names.size() ? choice.position - 1 : -1;
    for (qsizetype c = 0; c < names.size(); ++c) {
        if (m_hasName[size_t(file - 1)][size_t(c)] && names[c] == choice.text)
            return c;
    }
    return -1;
}

qsizetype ColumnPairing::usedPairWith(int file, qsizetype column, qsizetype except) const
{
    for (size_t p = 0; p < m_pairs.size(); ++p) {
        const ColumnPair &pair = m_pairs[p];
        if (pair.used && qsizetype(p) != except
            && (file == 1 ? pair.column1 : pair.column2) == column)
            return qsizetype(p);
    }
    return -1;
}

QString ColumnPairing::setUsed(size_t pair, bool used)
{
    ColumnPair &chosen = m_pairs.at(pair);
    if (used) {
        for (int file = 1; file <= 2; ++file) {
            const qsizetype column = file == 1 ? chosen.column1 : chosen.column2;
            const qsizetype other = usedPairWith(file, column, qsizetype(pair));
            if (other >= 0)
                return tr("%1 is paired already: %2")
                    .arg(columns(file)[column], label(m_pairs[size_t(other)]));
        }
    }
    chosen.used = used;
    return {};
}

void ColumnPairing::remove(size_t pair)
{
    m_pairs.erase(m_pairs.begin() + qsizetype(pair));
}

QString ColumnPairing::add(qsizetype column1, qsizetype column2)
{
    if (column1 < 0 || column1 >= columns(1).size() || column2 < 0 || column2 >= columns(2).size())
        return tr("Choose a column of each file");
    for (size_t p = 0; p < m_pairs.size(); ++p) {
        if (m_pairs[p].column1 == column1 && m_pairs[p].column2 == column2)
            return setUsed(p, true);
    }
    m_pairs.push_back({column1, column2, tr("paired by hand"), false});
    const QString error = setUsed(m_pairs.size() - 1, true);
    if (!error.isEmpty())
        m_pairs.pop_back();
    return error;
}

QString ColumnPairing::label(const ColumnPair &pair) const
{
    return columns(1)[pair.column1] + QStringLiteral(" \u2192 ") + columns(2)[pair.column2];
}

std::vector<Csv::ColumnRename> ColumnPairing::renames() const
{
    // A name when it is the only one of its kind in its file, else the
    // position: the same name twice would find the first.
    const auto item = [this](int file, qsizetype column) {
        const QStringList &names = columns(file);
        if (m_hasName[size_t(file - 1)][size_t(column)] && names.count(names[column]) == 1)
            return Csv::ColumnChoice::named(names[column]);
        return Csv::ColumnChoice::at(column + 1);
    };
    std::vector<Csv::ColumnRename> renames;
    for (const ColumnPair &pair : m_pairs) {
        if (pair.used)
            renames.push_back({item(1, pair.column1), item(2, pair.column2)});
    }
    return renames;
}

QString renameText(const Csv::ColumnRename &rename)
{
    const auto side = [](const Csv::ColumnChoice &choice) {
        return choice.by == Csv::ColumnChoice::By::Position ? QString::number(choice.position)
                                                            : quoted(choice.text);
    };
    return side(rename.column1) + u'=' + side(rename.column2);
}

} // namespace Tables
