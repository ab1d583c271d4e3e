#include "csv/ReportSaving.h"

#include <cerrno>
#include <cstring>

#include <QSaveFile>

#include "csv/RowComparison.h"
#include "csv/XlsxReport.h"
#include "text/FileWriter.h"

namespace Csv {

QString saveReport(const QString &path, const RowComparison &comparison, ReportFormat format,
                   const ReportOptions &names)
{
    if (const std::optional<QString> kind = Files::specialFileKind(path))
        return QStringLiteral("it is %1, not a regular file").arg(*kind);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    // Qt may say only "Unknown error" when a write fails: keep the system's reason.
    int writeError = 0;
    const auto put = [&file, &writeError](QByteArrayView piece) {
        errno = 0;
        if (file.write(piece.data(), piece.size()) == piece.size())
            return true;
        writeError = errno;
        return false;
    };
    QString error;
    if (format == ReportFormat::Xlsx)
        error = writeXlsxReport(comparison, names, put);
    else if (!writeReport(comparison, format, names, put))
        error = names.control && names.control->cancelled()
                    ? QStringLiteral("the report was cancelled") // the file is left as it was
                : writeError != 0 ? QString::fromLocal8Bit(std::strerror(writeError))
                                  : file.errorString();
    if (!error.isEmpty()) {
        file.cancelWriting();
        return error;
    }
    errno = 0;
    if (file.commit())
        return QString();
    const int commitError = errno;
    return commitError != 0 ? QString::fromLocal8Bit(std::strerror(commitError))
                            : file.errorString();
}

} // namespace Csv
