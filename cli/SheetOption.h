#pragma once

#include <QString>
#include <QStringList>

#include "InputFile.h"

namespace Cli {

// --sheet NAME|N picks the sheet of every workbook among the two files;
// --sheet1 and --sheet2 pick file 1's or file 2's and win over --sheet.
// Without them a workbook gives its first sheet.
struct SheetChoice
{
    QString both;
    QString file1;
    QString file2;

    static const QStringList &options(); // "--sheet", "--sheet1", "--sheet2"
    // Takes one of the options; an error message when its value is wrong.
    QString take(const QString &name, const QString &value);
    // The sheet asked of file 1 or 2; empty for its first.
    QString forFile(int file) const
    {
        const QString &own = file == 1 ? file1 : file2;
        return own.isEmpty() ? both : own;
    }
};

// When `input` is a workbook, replaces its bytes by the text of the sheet
// `sheet` names (its first when empty) as CSV, or sets its error (named
// `name`). A sheet given by --sheet1/--sheet2 for a file that is no workbook
// is an error. True when the input was a workbook.
bool readWorkbookSheet(InputFile &input, const QString &name, const QString &sheet,
                       bool sheetForThisFile);

// The error when --sheet was given and neither file is a workbook.
QString sheetWithoutWorkbook(const SheetChoice &choice, bool workbook1, bool workbook2);

} // namespace Cli
