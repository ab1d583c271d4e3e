#pragma once

#include <memory>

#include <QString>

#include "csv/RowComparison.h"

namespace Csv {

// Where a comparison bounded in memory may put what does not fit.
struct MemoryBudget
{
    qint64 bytes = 0; // the most the comparison is to hold beyond the tables
    QString folder;   // for temporary files
    int parts = 0;    // a power of two: split into so many parts whatever the size (tests)
};

// How many parts the rows of two tables are split into so that the matching
// of each part fits `budget` (a power of two; 1: the whole fits).
int partitionsFor(const Table &table1, const Table &table2, qint64 budget);

// The comparison compareTables makes, in about `budget.bytes` of memory
// beside the tables' record starts, with the tables' bytes left where they
// are (a mapped file, say; they are read in order, twice, and for the rows
// reported). Rows are split by the hash of what matches them (the key, or
// the whole row) into parts, each written to temporary files and then
// matched on its own. Its reports are the ones compareTables's give, byte for
// byte; unless options.keepPairs, the rows of file 1 that a report reads are
// then copied out of table 1 (see Table::subset), and the result's records
// of file 1 are numbers in that copy.
// Throws AppError when a temporary file cannot be written (a full disk).
// With options.control, reports the phases Partitioning and Comparing.
RowComparison compareTablesWithin(std::shared_ptr<const Table> table1,
                                  std::shared_ptr<const Table> table2, const RowOptions &options,
                                  const MemoryBudget &budget);

} // namespace Csv
