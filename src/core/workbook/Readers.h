#pragma once

#include "workbook/Workbook.h"
#include "workbook/ZipArchive.h"

// The two kinds of workbook, each read from its opened zip.
namespace Workbook {

namespace Xlsx {
SheetList sheetNames(const ZipArchive &zip);
SheetText readSheet(const ZipArchive &zip, int index, qint64 byteLimit, Compare::Progress *progress,
                    Listing listing);
} // namespace Xlsx

namespace Ods {
SheetList sheetNames(const ZipArchive &zip);
SheetText readSheet(const ZipArchive &zip, int index, qint64 byteLimit, Compare::Progress *progress,
                    Listing listing);
} // namespace Ods

} // namespace Workbook
