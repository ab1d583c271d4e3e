#include "tables/TableNotes.h"

#include "csv/RowsReport.h"

namespace Tables {

QStringList notesOf(const Csv::RowComparison &comparison, const QString &name1,
                    const QString &name2, qsizetype limit)
{
    QStringList notes;
    QByteArray pending;
    bool summarySkipped = false;
    // The report lists its notes before its rows: read it up to the first row.
    Csv::writeReport(comparison, Csv::ReportFormat::Text, {name1, name2, false},
                     [&](QByteArrayView piece) {
                         pending.append(piece);
                         qsizetype end;
                         while ((end = pending.indexOf('\n')) >= 0) {
                             const QByteArray line = pending.first(end);
                             pending.remove(0, end + 1);
                             if (!summarySkipped) {
                                 summarySkipped = true;
                                 continue;
                             }
                             if (line.startsWith("- line ") || line.startsWith("+ line ")
                                 || line.startsWith("~ line ") || notes.size() >= limit)
                                 return false;
                             notes << QString::fromUtf8(line);
                         }
                         return true;
                     });
    return notes;
}

} // namespace Tables
