#include "tables/TableSource.h"

#include <QFileInfo>

#include "base/AppError.h"
#include "csv/RowsReport.h"
#include "io/FileReader.h"
#include "pane/RichTextBox.h"
#include "workbook/Workbook.h"

FileStamp FileStamp::of(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    return {info.size(), info.fileTime(QFileDevice::FileModificationTime),
            info.fileTime(QFileDevice::FileMetadataChangeTime)};
}

TableSource TableSource::fromFile(const QString &path, int sheet)
{
    // Taken before reading: a write during the read shows as a change.
    const FileStamp stamp = FileStamp::of(path);
    // The core's reader: a name opened by its bytes, and a FIFO or a device
    // refused at once instead of a window that waits for ever on it.
    Files::FileBytes read =
        Files::readFileBytes(path, Files::Streams::Refused, nullptr, Files::Access::AtRandom);
    if (!read.ok())
        throw AppError(QStringLiteral("Cannot open ") + read.error);
    TableSource source;
    // A workbook, known by its bytes: its sheet's text is UTF-8 CSV. The
    // sheets are listed in the same pass (an .ods keeps them all in one part).
    if (Workbook::recognise(read.bytes) != Workbook::Format::None) {
        Workbook::SheetText text =
            Workbook::readSheet(read.bytes, sheet, nullptr, Workbook::Listing::WithNames);
        if (!text.error.isEmpty())
            throw AppError(QStringLiteral("Cannot open ") + Workbook::fileError(path, text.error));
        read.bytes = std::move(text.csv);
        source.sheets = std::move(text.sheets);
        source.sheet = sheet;
    }
    Csv::DecodedCsv decoded = Csv::decodeCsvBytes(std::move(read.bytes));
    source.name = QFileInfo(path).fileName();
    source.path = path;
    source.bytes = std::move(decoded.bytes);
    source.encoding = decoded.encoding;
    source.invalidLine = decoded.invalidLine;
    source.stamp = stamp;
    return source;
}

TableSource TableSource::fromPane(RichTextBox &pane, const QString &name)
{
    TableSource source;
    source.name = name;
    source.bytes = pane.shareBytes();
    source.encoding = QStringLiteral("UTF-8");
    source.pane = &pane;
    return source;
}

bool TableSource::changedOnDisk() const
{
    return !path.isEmpty() && FileStamp::of(path) != stamp;
}

void TableSource::takeOwnCopy()
{
    if (!pane)
        return;
    bytes = QByteArray(bytes.constData(), bytes.size());
    pane->unshareBytes();
    pane.clear();
}

QString TableSource::describe(qsizetype rows, char delimiter) const
{
    QString text = name;
    if (!sheets.isEmpty())
        text += QStringLiteral(" \u00b7 sheet ") + sheets.value(sheet);
    if (rows >= 0) {
        text += QStringLiteral(" \u00b7 %1 rows \u00b7 delimiter %2")
                    .arg(Csv::withThousands(rows), delimiterName(delimiter));
    }
    text += QStringLiteral(" \u00b7 ") + encoding;
    if (invalidLine > 0)
        text += QStringLiteral(" (not UTF-8 from line %1)").arg(invalidLine);
    return text;
}

QString delimiterName(char delimiter)
{
    return delimiter == '\t' ? QStringLiteral("Tab") : QString(QChar(delimiter));
}
