#include "tables/ReportFile.h"

#include <QFileInfo>

#include "csv/ReportSaving.h"

namespace Tables {

QString reportFileFilter()
{
    return QStringLiteral("CSV Files (*.csv)|*.csv|JSON Files (*.json)|*.json|"
                          "Text Files (*.txt)|*.txt|HTML Files (*.html)|*.html|"
                          "Excel Workbooks (*.xlsx)|*.xlsx|");
}

Csv::ReportFormat reportFormatFor(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("json"))
        return Csv::ReportFormat::Json;
    if (suffix == QLatin1String("txt"))
        return Csv::ReportFormat::Text;
    if (suffix == QLatin1String("html") || suffix == QLatin1String("htm"))
        return Csv::ReportFormat::Html;
    if (suffix == QLatin1String("xlsx"))
        return Csv::ReportFormat::Xlsx;
    return Csv::ReportFormat::Csv;
}

QString writeReportFile(const QString &path, const Csv::RowComparison &comparison,
                        Csv::ReportFormat format, const Csv::ReportOptions &names)
{
    return Csv::saveReport(path, comparison, format, names);
}

} // namespace Tables
