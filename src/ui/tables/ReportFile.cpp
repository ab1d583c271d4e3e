#include "tables/ReportFile.h"

#include <QFileInfo>
#include <QSaveFile>

namespace Tables {

Csv::ReportFormat reportFormatFor(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("json"))
        return Csv::ReportFormat::Json;
    if (suffix == QLatin1String("txt"))
        return Csv::ReportFormat::Text;
    return Csv::ReportFormat::Csv;
}

QString writeReportFile(const QString &path, const Csv::RowComparison &comparison,
                        Csv::ReportFormat format, const Csv::ReportOptions &names)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    const bool written = Csv::writeReport(comparison, format, names, [&](QByteArrayView piece) {
        return file.write(piece.data(), piece.size()) == piece.size();
    });
    if (!written) {
        file.cancelWriting();
        return file.errorString();
    }
    return file.commit() ? QString() : file.errorString();
}

} // namespace Tables
