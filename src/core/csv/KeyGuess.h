#pragma once

#include <vector>

#include "csv/CellRules.h"
#include "csv/ColumnMapping.h"
#include "csv/CsvReader.h"

namespace Csv {

// The key a comparison can match rows by when none is given: the smallest set
// of up to three columns in both files whose values are non-empty in every
// row and, taken together, unique in each file; among sets of one size, the
// leftmost (columns compared in turn). Empty when none is found.
//
// Bounded time: only the leftmost columns are tried, sets are first tried on
// a sample of each file (blocks of neighbouring rows spread over it) and only
// the few sets unique there are checked on every row.
std::vector<qsizetype> guessKey(const Table &table1, const Table &table2,
                                const ColumnMapping &mapping, bool header,
                                const CellRules &rules = {});

} // namespace Csv
