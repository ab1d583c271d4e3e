#include "tables/TableSession.h"

#include <algorithm>

#include "csv/KeyGuess.h"

namespace Tables {

void TableSession::setSource(int side, TableSource source)
{
    m_sources[size_t(side)] = std::move(source);
    m_tables[size_t(side)].reset();
    m_keyPreset = false; // other files may want another key
}

QStringList TableSession::changedOnDisk() const
{
    QStringList names;
    for (const TableSource &source : m_sources) {
        if (source.changedOnDisk())
            names << source.name;
    }
    return names;
}

CompareOutcome TableSession::run(const CompareRequest &request) const
{
    CompareOutcome outcome;
    outcome.delimiter = request.delimiter;
    outcome.header = request.header;
    for (size_t side = 0; side < 2; ++side) {
        const TableSource *source = &m_sources[side];
        if (source->changedOnDisk()) {
            outcome.reread[side] = TableSource::fromFile(source->path);
            source = &*outcome.reread[side];
        }
        const bool same = !outcome.reread[side] && m_tables[side]
                          && m_readWith[side] == request.delimiter
                          && m_readHeader[side] == request.header;
        if (same) {
            outcome.tables[side] = m_tables[side];
            continue;
        }
        Csv::ReadResult read = Csv::readCsv(source->bytes, request.delimiter);
        if (!read.ok()) {
            outcome.error = QStringLiteral("%1: %2").arg(source->name, read.error.message);
            return outcome;
        }
        outcome.tables[side] = std::make_shared<const Csv::Table>(std::move(read.table));
    }
    Csv::RowOptions options = request.options;
    options.header = request.header;
    options.keepPairs = true;
    bool keyGiven = request.keyChosen;
    if (!m_requestedKey.isEmpty()) {
        options.key = m_requestedKey;
        keyGiven = true;
    } else if (m_offered) {
        options.key = m_offered->noKey ? QString() : m_offered->key;
        keyGiven = m_offered->noKey || !m_offered->key.isEmpty();
    }
    if (m_offered)
        options.ignoreColumns = m_offered->ignoreColumns;
    // New files get a key of their own, unless one was chosen for them.
    if (!m_keyPreset && !keyGiven) {
        options.key.clear();
        const Csv::ColumnMapping mapping =
            Csv::mapColumns(*outcome.tables[0], *outcome.tables[1], options.header, options.rules);
        QStringList key;
        for (const qsizetype column : Csv::guessKey(*outcome.tables[0], *outcome.tables[1], mapping,
                                                    options.header, options.rules))
            key << columnListItem(mapping.label(column));
        options.key = key.join(u',');
    }
    Csv::RowComparison result = compareTables(outcome.tables[0], outcome.tables[1], options);
    if (!result.ok()) {
        outcome.error = result.error.message;
        return outcome;
    }
    outcome.used = options;
    outcome.data = TableData::from(std::move(result));
    outcome.visible = visibleRows(*outcome.data, request.filter);
    return outcome;
}

std::vector<std::shared_ptr<const void>> TableSession::dropStale()
{
    std::vector<std::shared_ptr<const void>> dropped;
    for (size_t side = 0; side < 2; ++side) {
        if (m_sources[side].changedOnDisk() && m_tables[side])
            dropped.push_back(std::move(m_tables[side]));
    }
    if (!dropped.empty() && m_data)
        dropped.push_back(std::move(m_data));
    return dropped;
}

bool TableSession::accept(CompareOutcome &outcome)
{
    for (size_t side = 0; side < 2; ++side) {
        if (outcome.reread[side])
            m_sources[side] = std::move(*outcome.reread[side]);
    }
    m_requestedKey.clear();
    m_offered.reset();
    if (!outcome.error.isEmpty())
        return false;
    for (size_t side = 0; side < 2; ++side) {
        m_tables[side] = outcome.tables[side];
        m_readWith[side] = outcome.delimiter;
        m_readHeader[side] = outcome.header;
    }
    m_keyPreset = true;
    m_data = outcome.data;
    return true;
}

void TableSession::moveTable(int side, std::shared_ptr<const Csv::Table> table)
{
    if (m_data) {
        std::shared_ptr<const Csv::Table> &held =
            side == 0 ? m_data->comparison.table1 : m_data->comparison.table2;
        if (held == m_tables[size_t(side)])
            held = table;
    }
    m_tables[size_t(side)] = std::move(table);
}

qsizetype TableSession::dataRows(int side) const
{
    const Csv::Table *table = m_tables[size_t(side)].get();
    if (!table)
        return -1;
    return std::max<qsizetype>(table->size() - (m_readHeader[size_t(side)] ? 1 : 0), 0);
}

QString TableSession::describe(int side) const
{
    const TableSource &source = m_sources[size_t(side)];
    if (source.isEmpty())
        return QStringLiteral("File #%1: none").arg(side + 1);
    const Csv::Table *table = m_tables[size_t(side)].get();
    return QStringLiteral("File #%1: %2")
        .arg(side + 1)
        .arg(source.describe(dataRows(side), table ? table->delimiter() : ','));
}

} // namespace Tables
