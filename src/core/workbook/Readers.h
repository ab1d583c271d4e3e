#pragma once

#include "workbook/Workbook.h"
#include "workbook/ZipArchive.h"

// The two kinds of workbook, each read from its opened zip.
namespace Workbook {

// The sheet to read: by its place (from 0), or as a user named it (see
// findSheet()), when `name` is not null; `index` then holds the number the
// name may stand for (from 0), or -1.
struct Wanted
{
    int index = 0;
    QString name;

    bool named() const { return !name.isNull(); }
};

namespace Xlsx {
SheetList sheetNames(const ZipArchive &zip);
SheetText readSheet(const ZipArchive &zip, const Wanted &wanted, qint64 byteLimit,
                    Compare::Progress *progress, Listing listing);
} // namespace Xlsx

namespace Ods {
SheetList sheetNames(const ZipArchive &zip);
SheetText readSheet(const ZipArchive &zip, const Wanted &wanted, qint64 byteLimit,
                    Compare::Progress *progress, Listing listing);
} // namespace Ods

} // namespace Workbook
