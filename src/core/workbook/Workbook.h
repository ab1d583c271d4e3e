#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include "engine/Progress.h"

// Spreadsheets read as the CSV text every comparison reads: Office Open XML
// (.xlsx, .xlsm) and OpenDocument (.ods) workbooks, recognised by their
// bytes whatever their name.
namespace Workbook {

enum class Format {
    None, // not a workbook: read as text
    Xlsx,
    Ods,
    Encrypted, // an Office file wrapped for a password
    Damaged,   // a zip's signature, but no zip that can be read
};

// What the bytes are. Only the first bytes and the names of the zip's parts
// are looked at, so a truncated workbook is still known as one.
Format recognise(QByteArrayView bytes);

// The names of the workbook's sheets in order, or why the workbook cannot
// be read (error, a sentence without the file's name).
struct SheetList
{
    QStringList names;
    QString error;
};
SheetList sheetNames(QByteArrayView bytes);

// One sheet as CSV text (see SheetCsv), or why not.
struct SheetText
{
    QByteArray csv;
    QString sheet;      // the sheet's name
    QStringList sheets; // every sheet's name, when asked for (as sheetNames() gives them)
    QString error;
    bool cancelled = false;

    bool ok() const { return error.isEmpty() && !cancelled; }
};

// Whether readSheet() also lists every sheet, as sheetNames() would: in the
// same pass, where a workbook keeps its sheets in one part (OpenDocument).
enum class Listing { SheetOnly, WithNames };

// Reads sheet number `index` (from 0) in one pass. The progress, when given,
// counts the sheet's inflated bytes and is looked at to stop. With the
// names, a workbook with no sheet has sheetNames()'s error.
SheetText readSheet(QByteArrayView bytes, int index, Compare::Progress *progress = nullptr,
                    Listing listing = Listing::SheetOnly);

// The sheet a user named (see findSheet()), read in one pass: where the
// sheets and their names share a part (OpenDocument), the names are matched
// as the part is read, never listed first.
SheetText readSheet(QByteArrayView bytes, const QString &wanted,
                    Compare::Progress *progress = nullptr, Listing listing = Listing::SheetOnly);

// The sheet a user named: a sheet of that name, else a number N for the N-th
// sheet (from 1). -1 and `error` set when there is none.
int findSheet(const QStringList &names, const QString &wanted, QString &error);

// The message for a workbook's error, naming the file first as every message
// about a file does.
QString fileError(const QString &file, const QString &error);

} // namespace Workbook
