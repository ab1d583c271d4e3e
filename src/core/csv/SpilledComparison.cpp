#include "csv/SpilledComparison.h"

#include <algorithm>

#include "base/AppError.h"
#include "base/BothAtOnce.h"
#include "csv/RowComparisonSteps.h"
#include "io/SpillFile.h"

namespace Csv {

namespace {

// The most parts: each has two files a table open at once.
constexpr int kMostParts = 64;

// What matching rows in memory takes beyond their bytes, a record: the
// index's groups and links, the part's record starts and what it lists; and
// the next part's bytes and record starts, read back meanwhile.
constexpr qint64 kMatchBytesPerRecord = 40;

// What the whole comparison keeps a record however it is split: each part's
// record numbers while it is matched, and the lists of the result.
constexpr qint64 kKeptBytesPerRecord = 8;

// What one file's records of one part are written to: their bytes, each
// ending in a line break, and their record numbers in the whole table.
struct PartFiles
{
    explicit PartFiles(const QString &folder) : text(folder), records(folder) {}
    Files::SpillFile text;
    Files::SpillFile records;
};

// The records of one file split into parts, in file order within each.
class PartWriter
{
public:
    PartWriter(int parts, const QString &folder, qint64 bufferBytes)
        : m_bufferBytes(bufferBytes), m_text(size_t(parts)), m_records(size_t(parts))
    {
        m_files.reserve(size_t(parts));
        for (int p = 0; p < parts; ++p)
            m_files.push_back(std::make_unique<PartFiles>(folder));
    }

    void add(int part, qint32 record, QByteArrayView raw)
    {
        QByteArray &text = m_text[size_t(part)];
        text.append(raw);
        // The file's last record may end without a line break.
        if (!raw.endsWith('\n') && !raw.endsWith('\r'))
            text.append('\n');
        m_records[size_t(part)].push_back(record);
        if (text.size() >= m_bufferBytes)
            flush(part);
    }

    void flushAll()
    {
        for (size_t p = 0; p < m_files.size(); ++p)
            flush(int(p));
        m_text = std::vector<QByteArray>();
        m_records = std::vector<std::vector<qint32>>();
    }

    // The bytes and record numbers written to one part.
    QByteArray text(int part)
    {
        Files::SpillFile &file = m_files[size_t(part)]->text;
        QByteArray bytes(file.size(), Qt::Uninitialized);
        file.read(0, bytes.data(), bytes.size());
        return bytes;
    }
    std::vector<qint32> records(int part)
    {
        Files::SpillFile &file = m_files[size_t(part)]->records;
        std::vector<qint32> records(size_t(file.size()) / sizeof(qint32));
        file.read(0, reinterpret_cast<char *>(records.data()), file.size());
        return records;
    }

private:
    void flush(int part)
    {
        PartFiles &files = *m_files[size_t(part)];
        QByteArray &text = m_text[size_t(part)];
        std::vector<qint32> &records = m_records[size_t(part)];
        files.text.append(text);
        files.records.append(QByteArrayView(reinterpret_cast<const char *>(records.data()),
                                            qsizetype(records.size() * sizeof(qint32))));
        text.resize(0); // the buffer is kept (clear() would free it)
        records.clear();
    }

    qint64 m_bufferBytes;
    std::vector<std::unique_ptr<PartFiles>> m_files;
    std::vector<QByteArray> m_text;
    std::vector<std::vector<qint32>> m_records;
};

// Writes each record of one file from `first` on to its part.
void split(const RowComparison &prepared, const RowOptions &options, int file, qint32 first,
           int parts, PartWriter &writer, WorkControl *control)
{
    const Table &table = file == 1 ? *prepared.table1 : *prepared.table2;
    const MatchHash hash(prepared, options, file);
    Row scratch;
    Checkpoint tick(control);
    for (qint32 r = first; r < qint32(table.size()); ++r) {
        tick();
        // The low bits: the index of a part spreads its records by the high ones.
        const int part = int(hash(r, scratch) & quint32(parts - 1));
        writer.add(part, r, table.rawRecord(r));
    }
    writer.flushAll();
}

// One part of both files read back, as tables over the same columns.
struct Part
{
    RowComparison comparison;
    std::vector<qint32> records1; // each record's number in the whole table
    std::vector<qint32> records2;
};

std::shared_ptr<const Table> readPart(QByteArray text, char delimiter, size_t records)
{
    ReadResult read = readCsv(std::move(text), delimiter);
    if (!read.ok() || size_t(read.table.size()) != records)
        throw AppError(QStringLiteral("A temporary file did not read back as it was written"));
    return std::make_shared<const Table>(std::move(read.table));
}

// One part of both files read back, as tables (the columns are lent when it is matched).
Part loadPart(const RowComparison &prepared, int part, PartWriter &writer1, PartWriter &writer2)
{
    Part result;
    RowComparison &comparison = result.comparison;
    runBothAtOnce(
        [&] {
            result.records1 = writer1.records(part);
            comparison.table1 =
                readPart(writer1.text(part), prepared.table1->delimiter(), result.records1.size());
        },
        [&] {
            result.records2 = writer2.records(part);
            comparison.table2 =
                readPart(writer2.text(part), prepared.table2->delimiter(), result.records2.size());
        });
    return result;
}

// The columns of a comparison lent to a part while it is matched, and given
// back however the matching ends: a table of a million columns is not
// copied once a part.
class LentColumns
{
public:
    LentColumns(RowComparison &from, RowComparison &to) : m_from(from), m_to(to) { swap(); }
    ~LentColumns() { swap(); }
    LentColumns(const LentColumns &) = delete;
    LentColumns &operator=(const LentColumns &) = delete;

private:
    void swap()
    {
        std::swap(m_from.mapping, m_to.mapping);
        std::swap(m_from.keyColumns, m_to.keyColumns);
        std::swap(m_from.comparedColumns, m_to.comparedColumns);
        std::swap(m_from.numberStyles1, m_to.numberStyles1);
        std::swap(m_from.numberStyles2, m_to.numberStyles2);
    }
    RowComparison &m_from;
    RowComparison &m_to;
};

// Matches a part by the whole comparison's columns (the loading of the next
// part meanwhile reads none of them).
void matchPart(Part &part, RowComparison &whole, const RowOptions &options)
{
    RowOptions quiet = options;
    quiet.control = nullptr; // the parts are counted one by one
    {
        const LentColumns lent(whole, part.comparison);
        compareRecords(part.comparison, 0, quiet);
    }
    // Only what gather() reads is kept.
    part.comparison.table1.reset();
    part.comparison.table2.reset();
}

RecordList renumbered(const RecordList &records, const std::vector<qint32> &numbers)
{
    RecordList whole;
    for (const qint32 r : records)
        whole.push_back(numbers[size_t(r)]);
    return whole;
}

// Adds what one part found to the whole, in the whole tables' records.
void gather(RowComparison &whole, const Part &part)
{
    const RowComparison &found = part.comparison;
    for (const qint32 r : found.removed)
        whole.removed.push_back(part.records1[size_t(r)]);
    for (const qint32 r : found.added)
        whole.added.push_back(part.records2[size_t(r)]);
    const qint64 shift = qint64(whole.changedColumnList.size());
    for (ChangedRow row : found.changed) {
        row.record1 = part.records1[size_t(row.record1)];
        row.record2 = part.records2[size_t(row.record2)];
        row.firstColumn += shift;
        whole.changed.push_back(row);
    }
    whole.changedColumnList.insert(whole.changedColumnList.end(), found.changedColumnList.begin(),
                                   found.changedColumnList.end());
    for (const DuplicateKey &key : found.duplicateKeys)
        whole.duplicateKeys.push_back(
            {renumbered(key.records1, part.records1), renumbered(key.records2, part.records2)});
    for (size_t r = 0; r < found.pairs.size(); ++r) {
        if (found.pairs[r] >= 0)
            whole.pairs[size_t(part.records2[r])] = part.records1[size_t(found.pairs[r])];
    }
}

// Puts the gathered lists in the order compareTables gives them.
void order(RowComparison &whole)
{
    std::sort(whole.removed.begin(), whole.removed.end());
    std::sort(whole.added.begin(), whole.added.end());
    std::sort(whole.changed.begin(), whole.changed.end(),
              [](const ChangedRow &a, const ChangedRow &b) { return a.record2 < b.record2; });
    Checkpoint uncounted(nullptr);
    sortDuplicateKeys(whole, uncounted);
}

// The rows of file 1 a report reads (the removed, the old side of the
// changed, those of repeated keys, the ragged, and the last, whose line a
// report may print) copied out of its table in one pass in file order, and
// the result made to refer to the copy: a report then reads file 1's rows in
// file 2's order from memory rather than at random from a file larger than
// memory. File 2's rows are read in its own order. Rows that would take
// more than half the budget (files that differ in most rows) stay where
// they are.
void keepReportedRows(RowComparison &c, qint64 budget)
{
    std::vector<qint32> kept(c.removed.begin(), c.removed.end());
    for (const ChangedRow &row : c.changed)
        kept.push_back(row.record1);
    for (const DuplicateKey &key : c.duplicateKeys)
        kept.insert(kept.end(), key.records1.begin(), key.records1.end());
    kept.insert(kept.end(), c.ragged1.begin(), c.ragged1.end());
    if (c.table1->size() > 0)
        kept.push_back(qint32(c.table1->size() - 1));
    std::sort(kept.begin(), kept.end());
    kept.erase(std::unique(kept.begin(), kept.end()), kept.end());
    qint64 bytes = 0;
    for (const qint32 r : kept)
        bytes += c.table1->rawRecord(r).size();
    if (bytes > budget / 2)
        return;
    const auto at = [&kept](qint32 record) {
        return qint32(std::lower_bound(kept.begin(), kept.end(), record) - kept.begin());
    };
    for (qint32 &r : c.removed)
        r = at(r);
    for (ChangedRow &row : c.changed)
        row.record1 = at(row.record1);
    for (DuplicateKey &key : c.duplicateKeys) {
        RecordList records;
        for (const qint32 r : key.records1)
            records.push_back(at(r));
        key.records1 = std::move(records);
    }
    for (qint32 &r : c.ragged1)
        r = at(r);
    c.table1 = std::make_shared<const Table>(c.table1->subset(kept));
}

RowComparison compareInParts(RowComparison whole, const RowOptions &options,
                             const MemoryBudget &budget, int parts)
{
    const qint32 first = options.header ? 1 : 0;
    // Two files a part are filled at once: their buffers share a tenth of
    // the budget.
    const qint64 bufferBytes =
        std::clamp<qint64>(budget.bytes / 10 / (2 * qint64(parts)), 4096, qint64(1) << 20);
    PartWriter writer1(parts, budget.folder, bufferBytes);
    PartWriter writer2(parts, budget.folder, bufferBytes);
    startPhase(options.control, WorkPhase::Partitioning,
               whole.table1->size() + whole.table2->size() - 2 * first);
    runBothAtOnce([&] { split(whole, options, 1, first, parts, writer1, options.control); },
                  [&] { split(whole, options, 2, first, parts, writer2, options.control); });

    if (options.keepPairs)
        whole.pairs.assign(size_t(whole.table2->size()), -1);
    startPhase(options.control, WorkPhase::Comparing, parts);
    // Each part is read back while the one before it is matched.
    Part current = loadPart(whole, 0, writer1, writer2);
    for (int p = 0; p < parts; ++p) {
        Part next;
        if (p + 1 < parts)
            runBothAtOnce([&] { next = loadPart(whole, p + 1, writer1, writer2); },
                          [&] { matchPart(current, whole, options); });
        else
            matchPart(current, whole, options);
        gather(whole, current);
        current = std::move(next);
        if (options.control)
            options.control->advance(1);
    }
    order(whole);
    // The window reads pairs of rows by their numbers in the whole tables.
    if (!options.keepPairs)
        keepReportedRows(whole, budget.bytes);
    return whole;
}

} // namespace

int partitionsFor(const Table &table1, const Table &table2, qint64 budget)
{
    const qint64 records = table1.size() + table2.size();
    const qint64 kept = kKeptBytesPerRecord * records;
    const qint64 matching =
        2 * (table1.bytes().size() + table2.bytes().size()) + kMatchBytesPerRecord * records;
    // Whatever the budget, a part is given some room to work in.
    const qint64 room = std::max<qint64>(budget - kept, qint64(4) << 10);
    int parts = 1;
    while (parts < kMostParts && qint64(parts) * room < matching)
        parts *= 2;
    return parts;
}

RowComparison compareTablesWithin(std::shared_ptr<const Table> table1,
                                  std::shared_ptr<const Table> table2, const RowOptions &options,
                                  const MemoryBudget &budget)
{
    try {
        const int parts =
            budget.parts > 0 ? budget.parts : partitionsFor(*table1, *table2, budget.bytes);
        RowComparison prepared = prepareComparison(std::move(table1), std::move(table2), options);
        if (!prepared.ok())
            return prepared;
        // Without a key or a column to compare no row is looked up.
        if (parts == 1 || (!matchesByKey(prepared, options) && prepared.comparedColumns.empty())) {
            compareRecords(prepared, options.header ? 1 : 0, options);
            return prepared;
        }
        return compareInParts(std::move(prepared), options, budget, parts);
    } catch (const WorkCancelled &) {
        return cancelledComparison();
    }
}

} // namespace Csv
