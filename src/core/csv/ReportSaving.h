#pragma once

#include <QString>

#include "csv/RowsReport.h"

namespace Csv {

struct RowComparison;

// Writes the report to the file at `path`, whole or not at all: a file
// already there stays as it was when anything fails. A named pipe, device or
// socket is refused without being opened, as replacing it would put a plain
// file in its place. Gives the reason it failed, or nothing.
QString saveReport(const QString &path, const RowComparison &comparison, ReportFormat format,
                   const ReportOptions &names);

} // namespace Csv
