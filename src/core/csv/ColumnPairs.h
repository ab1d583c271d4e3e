#pragma once

#include <vector>

#include "csv/CellRules.h"
#include "csv/ColumnMapping.h"
#include "csv/CsvReader.h"

namespace Csv {

// Why two columns look like one renamed.
enum class PairReason {
    SameName,    // the same name once case, "_", "-", "." and blanks are set aside
    SimilarName, // one such name starts or ends the other ("email", "email_address")
    EqualValues, // most cells equal on rows matched by key
};

// A column only file 1 has and one only file 2 has (mapping indices) that
// could be paired as one (see renameColumns).
struct SuggestedPair
{
    qsizetype column1 = -1;
    qsizetype column2 = -1;
    PairReason reason = PairReason::SameName;
    // Of the sampled rows matched by key where either cell is non-empty, the
    // share (0..100) whose cells are equal; -1 when none could be sampled.
    int equalPercent = -1;
};

// Pairs for the columns one file has and the other lacks, strongest first,
// each column in one pair at most: similar names, and equal values on up to
// `sampleRows` rows matched by `keyColumns` (mapping indices; empty: the key
// guessKey finds, or names alone). Bounded: only the first 64 unpaired
// columns of each file are weighed.
std::vector<SuggestedPair> suggestColumnPairs(const Table &table1, const Table &table2,
                                              const ColumnMapping &mapping,
                                              std::vector<qsizetype> keyColumns,
                                              const CellRules &rules = {},
                                              qsizetype sampleRows = 512);

} // namespace Csv
