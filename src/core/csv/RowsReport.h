#pragma once

#include <QByteArray>
#include <QString>

namespace Csv {

struct RowComparison;

enum class ReportFormat { Text, Csv, Json };

// The comparison written out for a person (text), a spreadsheet (csv: a
// status column "-", "+" or "~", the line, the cells, the changed columns) or
// a program (json), in UTF-8. name1 and name2 stand for the files.
QByteArray formatReport(const RowComparison &comparison, ReportFormat format, const QString &name1,
                        const QString &name2);

// "3 removed, 5 added, 12 changed (of 1,000,000 / 1,000,002 rows)"
QString summaryLine(const RowComparison &comparison);

// 1234567 as "1,234,567".
QString withThousands(qsizetype number);

} // namespace Csv
