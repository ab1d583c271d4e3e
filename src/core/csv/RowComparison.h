#pragma once

#include <memory>
#include <vector>

#include <QString>

#include "csv/CellRules.h"
#include "csv/ColumnMapping.h"
#include "csv/CsvReader.h"

namespace Csv {

struct RowOptions
{
    QString key;           // columns (names or 1-based numbers, comma-separated); empty: none
    QString ignoreColumns; // columns left out of the comparison (they still print)
    CellRules rules;
    bool header = true; // the first record of each file names the columns
};

// A row of file 1 and its row in file 2 (same key) whose compared cells differ.
struct ChangedRow
{
    qint32 record1 = -1;
    qint32 record2 = -1;
    std::vector<qsizetype> columns; // the differing columns (ColumnMapping indices)
};

// A key that occurs more than once in a file: its rows are set aside, not matched.
struct DuplicateKey
{
    std::vector<qint32> records1;
    std::vector<qint32> records2;
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
    std::vector<DuplicateKey> duplicateKeys;
    std::vector<qint32> ragged1; // rows whose cell count is not the file's width
    std::vector<qint32> ragged2;
    qsizetype rows1 = 0; // data rows, the header left out
    qsizetype rows2 = 0;
    RowError error; // message not empty: nothing else is set

    bool ok() const { return error.message.isEmpty(); }
    // Rows or columns that differ, or keys that could not be matched.
    bool hasDifferences() const;
};

// Compares two tables row by row.
// - With a key: a row is removed (key only in file 1), added (only in file 2)
//   or changed (same key, some compared cell differs); a key found more than
//   once in either file is reported with all its rows, which are not matched.
// - Without: rows are compared whole, as a multiset: a row twice in file 1
//   and once in file 2 is removed once (the later copy).
// Cells are compared under options.rules; ignored columns are not compared.
RowComparison compareTables(std::shared_ptr<const Table> table1,
                            std::shared_ptr<const Table> table2, const RowOptions &options);

// Reads both texts (at once, on two threads) and compares them.
RowComparison compareTexts(const QString &text1, const QString &text2, const RowOptions &options,
                           QChar delimiter = QChar());

} // namespace Csv
