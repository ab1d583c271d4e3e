#pragma once

#include <memory>
#include <vector>

#include "csv/RowComparison.h"
#include "csv/RowIndex.h"

// The steps compareTables takes, for a comparison that runs them over parts
// of its tables (see SpilledComparison.h).
namespace Csv {

// The columns mapped and looked up, the ragged rows found and the number
// styles read: all of a comparison but the matching of rows. Error set when
// a column named cannot be found. Throws WorkCancelled.
RowComparison prepareComparison(std::shared_ptr<const Table> table1,
                                std::shared_ptr<const Table> table2, const RowOptions &options);

// A phase of `total` steps begins, when someone follows the work.
void startPhase(WorkControl *control, WorkPhase phase, qint64 total);

// Puts the repeated keys in the order the reports list them: by the line
// their first row is on, file 1's before file 2's. `tick` counts each step.
void sortDuplicateKeys(RowComparison &c, Checkpoint &tick);

// What a comparison that was cancelled gives.
RowComparison cancelledComparison();

// Whether rows are matched by a key (else as a multiset).
bool matchesByKey(const RowComparison &prepared, const RowOptions &options);

// Matches the rows of result's tables from record `first` on, by the columns
// prepareComparison chose (its result, or a copy of its columns over other
// tables with the same layout). Throws WorkCancelled.
void compareRecords(RowComparison &result, qint32 first, const RowOptions &options);

// The hash rows are matched by, for one file of a prepared comparison: rows
// that compareRecords could match hash alike.
class MatchHash
{
public:
    MatchHash(const RowComparison &prepared, const RowOptions &options, int file);
    // `scratch` is the caller's, reused from call to call.
    RowHash operator()(qint32 record, Row &scratch) const;

private:
    const Table &m_table;
    std::vector<qint64> m_columns;
    std::vector<NumberStyle> m_styles;
    qint64 m_needed = 0;
    CellRules m_rules;
};

} // namespace Csv
