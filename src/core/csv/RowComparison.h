#pragma once

#include <memory>
#include <span>
#include <vector>

#include <QString>

#include "csv/CellRules.h"
#include "csv/ColumnMapping.h"
#include "csv/CsvReader.h"
#include "csv/RecordList.h"
#include "csv/WorkControl.h"

namespace Csv {

class KeyIndex;

struct RowOptions
{
    ColumnSelection key;   // empty: none
    bool guessKey = false; // no key given: guess one (see guessKey); none found, whole rows
    std::vector<ColumnRename> renames; // columns paired by hand across a rename
    ColumnSelection ignoreColumns;     // left out of the comparison (they still print)
    CellRules rules;                   // a tolerance applies to the cells of rows matched by key
    bool header = true;                // the first record of each file names the columns
    bool keepPairs = false;            // fill RowComparison::pairs
    // With rules.numbers: how each file writes its decimal mark.
    DecimalMark decimalMark1 = DecimalMark::Auto;
    DecimalMark decimalMark2 = DecimalMark::Auto;
    // Follows the comparison's phases and cancels it (null: neither); the
    // caller keeps it alive until compareTables returns.
    WorkControl *control = nullptr;
    // File 1's index by key, kept for the next comparison (see KeyIndex);
    // null: each comparison makes its own. One comparison at a time uses it.
    std::shared_ptr<KeyIndex> keyIndex;
};

// A row of file 1 and its row in file 2 (same key) whose compared cells
// differ; which ones is RowComparison::changedColumns(row).
struct ChangedRow
{
    qint32 record1 = -1;
    qint32 record2 = -1;
    qint64 firstColumn = 0; // into RowComparison::changedColumnList
    qint32 columnCount = 0;
};

// A key that occurs more than once in a file: its rows are set aside, not matched.
struct DuplicateKey
{
    RecordList records1;
    RecordList records2;
};

// Why no comparison could be made. file: 1 or 2 when one file is at fault.
struct RowError
{
    int file = 0;
    qsizetype line = 0;
    QString message;
};

// What compareTables finds. Records are indices into the tables, which the
// result shares so that a caller can show any cell.
struct RowComparison
{
    std::shared_ptr<const Table> table1;
    std::shared_ptr<const Table> table2;
    ColumnMapping mapping;
    std::vector<qsizetype> keyColumns;      // empty: rows compared as a multiset
    std::vector<qsizetype> comparedColumns; // mapping columns in both files, not ignored
    std::vector<qint32> removed;            // records of file 1, in file order
    std::vector<qint32> added;              // records of file 2, in file order
    std::vector<ChangedRow> changed;        // in file 2's order
    std::vector<qint32> changedColumnList;  // the differing mapping columns of each changed row
    std::vector<DuplicateKey> duplicateKeys;
    std::vector<qint32> ragged1; // rows whose cell count is not the file's width
    std::vector<qint32> ragged2;
    // With RowOptions::keepPairs: for each record of file 2, the record of
    // file 1 it was paired with (changed or not), or -1.
    std::vector<qint32> pairs;
    // With rules.numbers: how each mapping column writes numbers in each
    // file (found or chosen); empty otherwise.
    std::vector<NumberStyle> numberStyles1;
    std::vector<NumberStyle> numberStyles2;
    qsizetype rows1 = 0; // data rows, the header left out
    qsizetype rows2 = 0;
    bool keyGuessed = false; // keyColumns were guessed, not given
    bool cancelled = false;  // stopped by RowOptions::control: error set, nothing else
    RowError error;          // message not empty: nothing else is set

    bool ok() const { return error.message.isEmpty(); }
    std::span<const qint32> changedColumns(const ChangedRow &row) const
    {
        return {changedColumnList.data() + row.firstColumn, size_t(row.columnCount)};
    }
    // Differences in data: rows, columns only one file has, ragged rows, keys
    // that could not be matched. Columns that only moved are not.
    bool hasDifferences() const;
};

// The mapping columns in the order a reader sees them: the key, then file 2's
// columns in its order, then those only file 1 has. Linear.
std::vector<qsizetype> displayOrder(const RowComparison &comparison);

// Compares two tables row by row, in time linear in their cells.
// - With a key: a row is removed (key only in file 1), added (only in file 2)
//   or changed (same key, some compared cell differs); a key found more than
//   once in either file is reported once with all its rows, which are not matched.
// - Without: rows are compared whole, as a multiset: a row twice in file 1
//   and once in file 2 is removed once (the later copy).
// Cells are compared under options.rules; ignored columns are not compared.
// With options.control, checks for Cancel every few thousand records and
// reports the phases Indexing, Comparing and Listing.
RowComparison compareTables(std::shared_ptr<const Table> table1,
                            std::shared_ptr<const Table> table2, const RowOptions &options);

} // namespace Csv
