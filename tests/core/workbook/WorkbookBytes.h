#pragma once

// Workbooks made in memory for tests: a zip of given parts, and the smallest
// .xlsx and .ods around a sheet's XML.
#include <utility>
#include <vector>
#include <zip.h>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace WorkbookBytes {

using Parts = std::vector<std::pair<QByteArray, QByteArray>>; // name, bytes

// The parts zipped (deflated; "mimetype" stored, as OpenDocument wants it).
inline QByteArray zipOf(const Parts &parts)
{
    QTemporaryDir dir;
    const QByteArray path = dir.filePath(QStringLiteral("book.zip")).toLocal8Bit();
    int error = 0;
    zip_t *archive = zip_open(path.constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive)
        return QByteArray();
    for (const auto &[name, bytes] : parts) {
        zip_source_t *source =
            zip_source_buffer(archive, bytes.constData(), zip_uint64_t(bytes.size()), 0);
        const zip_int64_t index = zip_file_add(archive, name.constData(), source, 0);
        zip_set_file_compression(archive, zip_uint64_t(index),
                                 name == "mimetype" ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 9);
    }
    if (zip_close(archive) != 0)
        return QByteArray();
    QFile file(QString::fromLocal8Bit(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// `properties`: the workbook's <workbookPr/>, if any.
inline QByteArray xlsxParts(const QByteArray &sheetXml, Parts extra = {},
                            const QByteArray &properties = {})
{
    Parts parts{
        {"xl/workbook.xml",
         "<?xml version=\"1.0\"?><workbook xmlns:r=\"urn:r\">" + properties
             + "<sheets>"
               "<sheet name=\"One\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels",
         "<?xml version=\"1.0\"?><Relationships><Relationship Id=\"rId1\" "
         "Type=\"http://x/worksheet\" Target=\"worksheets/sheet1.xml\"/></Relationships>"},
        {"xl/worksheets/sheet1.xml", sheetXml},
    };
    for (auto &part : extra)
        parts.push_back(std::move(part));
    return zipOf(parts);
}

// A sheet of the given <sheetData> content.
inline QByteArray xlsxSheet(const QByteArray &rows)
{
    return xlsxParts("<?xml version=\"1.0\"?><worksheet><sheetData>" + rows
                     + "</sheetData></worksheet>");
}

// An OpenDocument spreadsheet of one table with the given rows.
inline QByteArray odsTable(const QByteArray &rows, Parts extra = {})
{
    Parts parts{
        {"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
        {"content.xml",
         "<?xml version=\"1.0\"?><office:document-content xmlns:office=\"o\" xmlns:table=\"t\" "
         "xmlns:text=\"x\"><office:body><office:spreadsheet><table:table table:name=\"T\">"
             + rows
             + "</table:table></office:spreadsheet></office:body></office:document-content>"},
    };
    for (auto &part : extra)
        parts.push_back(std::move(part));
    return zipOf(parts);
}

} // namespace WorkbookBytes
