#pragma once

#include "csv/RowsReport.h"

namespace Csv {

struct RowComparison;

// The comparison as one page a browser shows with nothing else: no script, no
// file or address it loads. It names the files, states the options, the
// summary and how many rows changed in each column, lists the notes, then
// every differing row in one table, coloured by its status (removed, added,
// changed, duplicate); a changed cell shows old → new with the characters
// that differ marked. Every value is escaped, and control or invisible
// characters show as the text report writes them, so no cell can add markup
// or hide text. Streamed: memory does not grow with the result.
bool writeHtmlReport(const RowComparison &comparison, const ReportOptions &options,
                     const ReportSink &sink);

} // namespace Csv
