#pragma once

#include <array>
#include <memory>
#include <optional>
#include <vector>

#include <QString>
#include <QStringList>

#include "csv/RowComparison.h"
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
    Csv::RowOptions used; // the options compared with, key and ignored columns as applied
    QString error;        // not empty: nothing else counts
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
    // The key the next comparison uses, as the command line gives it (COLS).
    void requestKey(const QString &columns) { m_requestedKey = columns; }
    // New files: no comparison made of them yet, no key found for them.
    bool newPair() const { return !m_keyPreset; }
    // Choices remembered for these files, used by the next comparison unless
    // a key was requested.
    void offer(const PairChoices &choices) { m_offered = choices; }

    // The names of the files that changed on disk since they were read.
    QStringList changedOnDisk() const;

    // Reads again what must be (a file changed on disk, another delimiter or
    // header row), compares and filters. Changes nothing here, so it may run
    // on a worker thread while the window waits; throws AppError for a file
    // that cannot be read.
    CompareOutcome run(const CompareRequest &request) const;
    // Lets go of the result and of the tables of files changed on disk, so
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
    // Replaces a table with the same records over other bytes (a pane's text
    // taken as a copy).
    void moveTable(int side, std::shared_ptr<const Csv::Table> table);
    // Data rows of a side's table; -1 before it was read.
    qsizetype dataRows(int side) const;
    // "File #1: old.csv · 1,000 rows · delimiter , · UTF-8"
    QString describe(int side) const;

    // What the table shows; the window keeps it, a run reads its request's copy.
    RowFilter filter;

private:
    std::array<TableSource, 2> m_sources;
    std::array<std::shared_ptr<const Csv::Table>, 2> m_tables;
    std::array<char, 2> m_readWith{{0, 0}}; // the delimiter each was read with
    std::array<bool, 2> m_readHeader{{true, true}};
    std::shared_ptr<TableData> m_data;
    QString m_requestedKey; // until a comparison uses it
    std::optional<PairChoices> m_offered;
    bool m_keyPreset = false;
};

} // namespace Tables
