#include "tables/TableSession.h"

#include <algorithm>
#include <exception>
#include <utility>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <QFileInfo>

#include "base/BothAtOnce.h"
#include "csv/KeyGuess.h"
#include "runner/BackgroundRun.h"
#include "tables/TableNotes.h"

namespace Tables {

namespace {

// A column of the mapping as the window passes it on: by where it stands.
Csv::ColumnChoice placeOf(const Csv::ColumnMapping &mapping, qsizetype c)
{
    const Csv::Column &column = mapping.columns[size_t(c)];
    return Csv::ColumnChoice::placed(column.index1, column.index2, mapping.label(c));
}

} // namespace

void TableSession::setSource(int side, TableSource source)
{
    m_sources[size_t(side)] = std::move(source);
    m_tables[size_t(side)].reset();
    if (side == 0)
        m_keyIndex = std::make_shared<Csv::KeyIndex>();
    m_keyPreset = false; // other files may want another key
    m_renames.clear();   // and have other columns
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

CompareOutcome TableSession::run(const CompareRequest &request, Csv::WorkControl *control) const
{
    try {
        return compared(request, control);
    } catch (const Csv::WorkCancelled &) {
        CompareOutcome stopped;
        stopped.cancelled = true;
        return stopped;
    }
}

CompareOutcome TableSession::compared(const CompareRequest &request,
                                      Csv::WorkControl *control) const
{
    CompareOutcome outcome;
    outcome.delimiter = request.delimiter;
    outcome.header = request.header;
    if (!readTables(request, outcome, control))
        return outcome;
    Csv::RowOptions options = optionsFor(request, m_offered, outcome.tables);
    options.control = control;
    Csv::RowComparison result = compareTables(outcome.tables[0], outcome.tables[1], options);
    if (result.cancelled)
        throw Csv::WorkCancelled();
    if (!result.ok() && m_offered) {
        // Remembered choices the files no longer fit (a column gone): a
        // comparison as for new files instead.
        options = optionsFor(request, std::nullopt, outcome.tables);
        options.control = control;
        result = compareTables(outcome.tables[0], outcome.tables[1], options);
        if (result.cancelled)
            throw Csv::WorkCancelled();
    }
    if (!result.ok()) {
        outcome.error = result.error.message;
        return outcome;
    }
    options.control = nullptr;  // kept with the result, which outlives the control
    options.keyIndex = nullptr; // the session's, for its next comparison
    outcome.used = options;
    // Rows and filter on ten million rows take a noticeable while: Cancel
    // stops them too.
    const std::atomic_bool *stop = control ? control->cancelFlag() : nullptr;
    outcome.data = TableData::from(std::move(result), stop);
    if (stop && stop->load())
        throw Csv::WorkCancelled();
    outcome.visible = visibleRows(*outcome.data, request.filter, stop);
    if (stop && stop->load())
        throw Csv::WorkCancelled();
    return outcome;
}

bool TableSession::readTables(const CompareRequest &request, CompareOutcome &outcome,
                              Csv::WorkControl *control) const
{
    // A side is read again when its file changed on disk (the sheet chosen
    // for it stays the one read) or it is to be read another way.
    std::array<bool, 2> changed{};
    std::array<bool, 2> toRead{};
    qint64 bytes = 0;
    for (size_t side = 0; side < 2; ++side) {
        const TableSource &source = m_sources[side];
        changed[side] = source.changedOnDisk();
        toRead[side] = changed[side] || !m_tables[side] || m_readWith[side] != request.delimiter
                       || m_readHeader[side] != request.header;
        if (!toRead[side])
            outcome.tables[side] = m_tables[side];
        else
            bytes += changed[side] ? QFileInfo(source.path).size() : source.bytes.size();
    }
    if (control && (toRead[0] || toRead[1]))
        control->start(Csv::WorkPhase::Reading, bytes); // both sides count into it
    std::array<QString, 2> errors;
    std::array<std::exception_ptr, 2> failures;
    const auto readSide = [&](size_t side) {
        try {
            const TableSource *source = &m_sources[side];
            if (changed[side]) {
                outcome.reread[side] = TableSource::fromFile(source->path, source->sheet);
                source = &*outcome.reread[side];
            }
            Csv::ReadResult read = Csv::readCsv(source->bytes, request.delimiter, control);
            if (read.ok())
                outcome.tables[side] = std::make_shared<const Csv::Table>(std::move(read.table));
            else
                errors[side] = QStringLiteral("%1: %2").arg(source->name, read.error.message);
        } catch (...) {
            failures[side] = std::current_exception();
        }
    };
    if (toRead[0] && toRead[1])
        runBothAtOnce([&] { readSide(0); }, [&] { readSide(1); }, workerPool());
    else if (toRead[0] || toRead[1])
        readSide(toRead[0] ? 0 : 1);
    for (const std::exception_ptr &failure : failures) {
        if (failure)
            std::rethrow_exception(failure);
    }
    // Both files' faults, when both have one.
    errors[0] += errors[0].isEmpty() || errors[1].isEmpty() ? QString() : QStringLiteral("\n");
    outcome.error = errors[0] + errors[1];
    return outcome.error.isEmpty();
}

// The request's options with what this session adds: the key asked for or
// remembered, the pairs of renamed columns, the choices remembered for the
// pair, or a key guessed for new files.
Csv::RowOptions TableSession::optionsFor(const CompareRequest &request,
                                         const std::optional<PairChoices> &offered,
                                         const TablePair &tables) const
{
    Csv::RowOptions options = request.options;
    options.header = request.header;
    options.keepPairs = true;
    options.keyIndex = m_keyIndex;
    options.renames = m_renames;
    bool keyGiven = request.keyChosen;
    if (!m_requestedKey.empty()) {
        options.key = m_requestedKey;
        keyGiven = true;
    } else if (offered) {
        options.key = offered->noKey ? Csv::ColumnSelection() : offered->key;
        keyGiven = offered->noKey || !offered->key.empty();
    }
    if (offered) {
        options.ignoreColumns = offered->ignoreColumns;
        options.renames = offered->renames;
        options.decimalMark1 = offered->decimalMark1;
        options.decimalMark2 = offered->decimalMark2;
        if (options.decimalMark1 != Csv::DecimalMark::Auto
            || options.decimalMark2 != Csv::DecimalMark::Auto)
            options.rules.numbers = true; // as --decimal-comma
    } else if (!m_keyPreset) {            // new files: their own decimal marks
        options.decimalMark1 = Csv::DecimalMark::Auto;
        options.decimalMark2 = Csv::DecimalMark::Auto;
    }
    // New files get a key of their own, unless one was chosen for them.
    if (!m_keyPreset && !keyGiven)
        options.key = guessedKey(*tables[0], *tables[1], options);
    return options;
}

Csv::ColumnSelection TableSession::guessedKey(const Csv::Table &table1, const Csv::Table &table2,
                                              const Csv::RowOptions &options)
{
    Csv::ColumnMapping mapping = Csv::mapColumns(table1, table2, options.header, options.rules);
    if (!options.renames.empty()
        && !Csv::renameColumns(mapping, options.renames, options.rules).error.isEmpty())
        return {};
    Csv::ColumnSelection key;
    for (const qsizetype column :
         Csv::guessKey(table1, table2, mapping, options.header, options.rules))
        key.push_back(placeOf(mapping, column));
    return key;
}

std::vector<std::shared_ptr<const void>> TableSession::dropStale()
{
    std::vector<std::shared_ptr<const void>> dropped;
    for (size_t side = 0; side < 2; ++side) {
        if (!m_sources[side].changedOnDisk())
            continue;
        if (m_tables[side])
            dropped.push_back(std::move(m_tables[side]));
        if (side == 0)
            dropped.push_back(std::exchange(m_keyIndex, std::make_shared<Csv::KeyIndex>()));
        // The table shares the file's old bytes with its side: both go.
        dropped.push_back(std::make_shared<QByteArray>(std::move(m_sources[side].bytes)));
        m_sources[side].bytes = QByteArray();
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
    m_used = outcome.used;
    m_renames = outcome.used.renames;
    // Filters by a column the new result may not have (other files, pairs).
    const qsizetype columns = qsizetype(m_data->comparison.mapping.columns.size());
    if (filter.changedIn >= columns)
        filter.changedIn = -1;
    if (filter.valueColumn >= columns)
        filter.valueColumn = -1;
    return true;
}

void TableSession::copyPanes()
{
    for (int side = 0; side < 2; ++side) {
        TableSource &source = m_sources[size_t(side)];
        if (!source.fromPane())
            continue;
        source.takeOwnCopy();
        if (const std::shared_ptr<const Csv::Table> &table = m_tables[size_t(side)])
            moveTable(side, std::make_shared<const Csv::Table>(table->over(source.bytes)));
    }
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

namespace Tables {

bool TableSession::filterByValue(int displayColumn, const QString &value, bool equals)
{
    if (!m_data || displayColumn < kFixedColumns || displayColumn >= m_data->columnCount())
        return false;
    filter.valueColumn = value.isEmpty() ? -1 : m_data->mappingColumn(displayColumn);
    filter.value = value;
    filter.valueEquals = equals;
    return true;
}

void TableSession::sortBy(int displayColumn)
{
    filter.descending = displayColumn == filter.sortColumn && !filter.descending;
    filter.sortColumn = displayColumn;
}

QString TableSession::pairEntry() const
{
    return Tables::pairEntry(m_sources[0].name, m_sources[1].name);
}

PairChoices TableSession::choices() const
{
    PairChoices choices;
    if (!m_data)
        return choices;
    const Csv::RowComparison &result = m_data->comparison;
    // By label: the next files of these names may hold their columns elsewhere.
    for (const qsizetype column : result.keyColumns)
        choices.key.push_back(Csv::ColumnChoice::named(result.mapping.label(column)));
    choices.noKey = choices.key.empty();
    choices.ignoreColumns = m_used.ignoreColumns;
    choices.renames = m_used.renames;
    choices.decimalMark1 = m_used.decimalMark1;
    choices.decimalMark2 = m_used.decimalMark2;
    return choices;
}

ColumnPairing TableSession::columnPairing() const
{
    if (!m_data)
        return {};
    const Csv::RowComparison &result = m_data->comparison;
    // The key by file 2's names: the pairs in use are set aside for the suggestions.
    Csv::ColumnSelection key;
    for (const qsizetype column : result.keyColumns) {
        const QByteArrayView name = result.mapping.nameBytesIn(column, 2);
        key.push_back(name.isNull() ? Csv::ColumnChoice::at(result.mapping.number(column))
                                    : Csv::ColumnChoice::named(QString::fromUtf8(name)));
    }
    return ColumnPairing::of(*result.table1, *result.table2, m_used.header, m_used.rules, key,
                             m_renames);
}

Csv::ColumnSelection TableSession::columnChoices(qsizetype limit) const
{
    Csv::ColumnSelection choices;
    if (!m_data)
        return choices;
    const Csv::ColumnMapping &mapping = m_data->comparison.mapping;
    for (qsizetype c = 0; c < qsizetype(mapping.columns.size()) && c < limit; ++c)
        choices.push_back(placeOf(mapping, c));
    return choices;
}

Csv::ReportOptions TableSession::reportOptions() const
{
    Csv::ReportOptions options;
    options.name1 = m_sources[0].path.isEmpty() ? m_sources[0].name : m_sources[0].path;
    options.name2 = m_sources[1].path.isEmpty() ? m_sources[1].name : m_sources[1].path;
    // The html and xlsx reports state the rules the cells were compared by.
    options.rules = m_used.rules;
    return options;
}

QStringList TableSession::notes() const
{
    if (!m_data)
        return {};
    const Csv::RowComparison &result = m_data->comparison;
    QStringList notes = notesOf(result, m_sources[0].name, m_sources[1].name);
    if (m_data->nothingCompared() && result.rows1 + result.rows2 > 0)
        notes.prepend(QStringLiteral("No column in both files: no row can match"));
    return notes;
}

QString TableSession::findCount(qsizetype found) const
{
    if (!m_data || filter.find.isEmpty())
        return {};
    return QStringLiteral("%1 of %2")
        .arg(Csv::withThousands(found), Csv::withThousands(rowsOfShownStatuses(*m_data, filter)));
}

void returnFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

} // namespace Tables
