#include "tables/ReportFile.h"

#include <QFileInfo>
#include <QSaveFile>

#include "csv/XlsxReport.h"

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
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    const auto put = [&](QByteArrayView piece) {
        return file.write(piece.data(), piece.size()) == piece.size();
    };
    QString error;
    if (format == Csv::ReportFormat::Xlsx)
        error = Csv::writeXlsxReport(comparison, names, put);
    else if (!Csv::writeReport(comparison, format, names, put))
        error = file.errorString();
    if (!error.isEmpty()) {
        file.cancelWriting();
        return error;
    }
    return file.commit() ? QString() : file.errorString();
}

} // namespace Tables
