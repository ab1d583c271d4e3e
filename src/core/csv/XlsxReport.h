#pragma once

#include <QString>

#include "csv/RowsReport.h"

namespace Csv {

struct RowComparison;

// The comparison as a workbook for a spreadsheet program, written with
// libxlsxwriter in its constant-memory mode (a row is written out before the
// next, so memory stays flat however many rows differ):
// - "Differences": a row a finding with its status (removed, added, changed,
//   duplicate), its lines and its cells, filled red, green or yellow; each
//   column that changed somewhere has a "NAME (old)" column beside it holding
//   the old value of a changed cell. The header row is frozen and filtered;
//   a cell that reads as a plain decimal number is a number.
// - "Summary": the files, the options, the counts, the columns and the notes.
// The workbook is assembled in a temporary folder and then handed to `sink`;
// the error's text, or empty.
QString writeXlsxReport(const RowComparison &comparison, const ReportOptions &options,
                        const ReportSink &sink);

} // namespace Csv
