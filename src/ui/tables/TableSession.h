#pragma once

#include <array>
#include <memory>
#include <optional>
#include <vector>

#include <QString>
#include <QStringList>

#include "csv/KeyIndex.h"
#include "csv/RowComparison.h"
#include "csv/RowsReport.h"
#include "tables/ColumnPairing.h"
#include "tables/PairChoices.h"
#include "tables/RowFilter.h"
#include "tables/TableRows.h"
#include "tables/TableSource.h"

namespace Tables {

// What a comparison is asked for: the user's choices as the options bar
// holds them.
struct CompareRequest
{
    Csv::RowOptions options;
    char delimiter = 0; // 0: detected
    bool header = true;
    bool keyChosen = false; // the user picked the key (or "no key") by hand
    RowFilter filter;       // what the table shows of the result
};

// What a comparison run brings back to the window's thread.
struct CompareOutcome
{
    std::array<std::optional<TableSource>, 2> reread; // files read again from disk
    std::array<std::shared_ptr<const Csv::Table>, 2> tables;
    std::shared_ptr<TableData> data;
    std::vector<qint32> visible;
    char delimiter = 0; // as asked: the tables were read with these
    bool header = true;
    Csv::RowOptions used;   // the options compared with, key and ignored columns as applied
    QString error;          // not empty: nothing else counts
    bool cancelled = false; // stopped by its control's cancel: nothing else counts
};

// One table comparison without a widget: the two sides, the tables read from
// them, the result and what the table shows of it. The window asks it for
// work to run off its thread (run(), visibleRows()) and hands the answers
// back (accept()).
class TableSession
{
public:
    const TableSource &source(int side) const { return m_sources[size_t(side)]; }
    TableSource &source(int side) { return m_sources[size_t(side)]; }
    // A new side: what was read of the old one is dropped, and the next
    // comparison finds the files a key of their own.
    void setSource(int side, TableSource source);
    bool ready() const { return !m_sources[0].isEmpty() && !m_sources[1].isEmpty(); }
    // The key the next comparison uses, as the command line gives it.
    void requestKey(const Csv::ColumnSelection &columns) { m_requestedKey = columns; }
    // New files: no comparison made of them yet, no key found for them.
    bool newPair() const { return !m_keyPreset; }
    // Choices remembered for these files, used by the next comparison unless
    // a key was requested (and dropped if the files no longer fit them).
    void offer(const PairChoices &choices) { m_offered = choices; }
    // The settings entry of these files' choices.
    QString pairEntry() const;
    // What the last comparison used, to be offered next time.
    PairChoices choices() const;
    // The pairs of renamed columns the next comparison uses.
    void setRenames(std::vector<Csv::ColumnRename> renames) { m_renames = std::move(renames); }
    const std::vector<Csv::ColumnRename> &renames() const { return m_renames; }
    // The Columns… dialog's content for the tables compared last: their
    // columns, the pairs in use and those suggested. Bounded in time, but
    // better run off the window's thread.
    ColumnPairing columnPairing() const;

    // The names of the files that changed on disk since they were read.
    QStringList changedOnDisk() const;

    // Reads again what must be (a file changed on disk, another delimiter or
    // header row), compares and filters. Changes nothing here, so it may run
    // on a worker thread while the window waits; throws AppError for a file
    // that cannot be read. With `control`, reading and comparing report their
    // progress to it and stop soon after its cancel (outcome.cancelled).
    CompareOutcome run(const CompareRequest &request, Csv::WorkControl *control = nullptr) const;
    // Lets go of the result and of the tables and bytes of files changed on disk, so
    // that reading them again does not hold two copies; gives them to the
    // caller to free where it likes (nothing: nothing changed).
    std::vector<std::shared_ptr<const void>> dropStale();
    // Keeps a run's answer. False (and nothing kept but re-read files) on error.
    bool accept(CompareOutcome &outcome);

    const std::shared_ptr<TableData> &data() const { return m_data; }
    const std::shared_ptr<const Csv::Table> &table(int side) const
    {
        return m_tables[size_t(side)];
    }
    // The panes' text is about to change: their sides take copies of the
    // bytes, and the tables and the result read those from now on.
    void copyPanes();
    // Data rows of a side's table; -1 before it was read.
    qsizetype dataRows(int side) const;
    // "File #1: old.csv · 1,000 rows · delimiter , · UTF-8"
    QString describe(int side) const;
    // The result's columns as the options bar lists them, the first `limit`:
    // each by where it stands in the files, with its label.
    Csv::ColumnSelection columnChoices(qsizetype limit) const;
    // What a report is written with: the names it gives the files (their
    // paths, or the panes' names) and the rules the cells were compared by.
    Csv::ReportOptions reportOptions() const;
    // What the notes above the table say of the last comparison.
    QStringList notes() const;
    // "12 of 1,234": rows a find shows among those of the statuses shown;
    // empty when nothing is found for.
    QString findCount(qsizetype found) const;
    // The options the last comparison was made with.
    const Csv::RowOptions &used() const { return m_used; }

    // Only rows whose cell in a display column equals (or contains) `value`;
    // an empty value clears the filter. False when there is no such column.
    bool filterByValue(int displayColumn, const QString &value, bool equals);
    // Sorts by a display column; the same column again sorts the other way.
    void sortBy(int displayColumn);

    // What the table shows; the window keeps it, a run reads its request's copy.
    RowFilter filter;

private:
    using TablePair = std::array<std::shared_ptr<const Csv::Table>, 2>;
    CompareOutcome compared(const CompareRequest &request, Csv::WorkControl *control) const;
    bool readTables(const CompareRequest &request, CompareOutcome &outcome,
                    Csv::WorkControl *control) const;
    Csv::RowOptions optionsFor(const CompareRequest &request,
                               const std::optional<PairChoices> &offered,
                               const TablePair &tables) const;
    // Replaces a table with the same records over other bytes.
    void moveTable(int side, std::shared_ptr<const Csv::Table> table);
    static Csv::ColumnSelection guessedKey(const Csv::Table &table1, const Csv::Table &table2,
                                           const Csv::RowOptions &options);

    std::array<TableSource, 2> m_sources;
    std::array<std::shared_ptr<const Csv::Table>, 2> m_tables;
    std::array<char, 2> m_readWith{{0, 0}}; // the delimiter each was read with
    std::array<bool, 2> m_readHeader{{true, true}};
    std::shared_ptr<TableData> m_data;
    // File 1's rows by key, kept from one comparison for the next.
    std::shared_ptr<Csv::KeyIndex> m_keyIndex = std::make_shared<Csv::KeyIndex>();
    Csv::ColumnSelection m_requestedKey; // until a comparison uses it
    std::optional<PairChoices> m_offered;
    std::vector<Csv::ColumnRename> m_renames;
    Csv::RowOptions m_used;
    bool m_keyPreset = false;
};

// Gives the memory freed so far back to the system. A file read again is
// read on another thread than the one that read it first, into memory the
// allocator keeps apart from what the first read freed: without this, both
// would count in the program's size.
void returnFreedMemory();

} // namespace Tables
