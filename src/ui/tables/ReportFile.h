#pragma once

#include <QString>

#include "csv/RowsReport.h"

namespace Csv {
struct RowComparison;
}

namespace Tables {

// The Save Report dialog's filter list, one entry a format: CSV first (the
// default), then JSON, text, HTML and Excel workbook.
QString reportFileFilter();

// The report format a file name asks for by its ending: .json, .txt,
// .html or .htm, .xlsx, else CSV.
Csv::ReportFormat reportFormatFor(const QString &path);

// Writes the report to `path` whole or not at all (the old file stays on a
// failure); the error's text, or empty.
QString writeReportFile(const QString &path, const Csv::RowComparison &comparison,
                        Csv::ReportFormat format, const Csv::ReportOptions &names);

} // namespace Tables
