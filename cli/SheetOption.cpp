#include "SheetOption.h"

#include "workbook/Workbook.h"

namespace Cli {

const QStringList &SheetChoice::options()
{
    static const QStringList names{QStringLiteral("--sheet"), QStringLiteral("--sheet1"),
                                   QStringLiteral("--sheet2")};
    return names;
}

QString SheetChoice::take(const QString &name, const QString &value)
{
    QString &into = name == QLatin1String("--sheet1")   ? file1
                    : name == QLatin1String("--sheet2") ? file2
                                                        : both;
    if (!into.isEmpty())
        return QStringLiteral("%1 is given twice").arg(name);
    into = value;
    return QString();
}

bool readWorkbookSheet(InputFile &input, const QString &name, const QString &sheet,
                       bool sheetForThisFile)
{
    if (Workbook::recognise(input.bytes) == Workbook::Format::None) {
        if (sheetForThisFile)
            input.error = Workbook::fileError(name, QStringLiteral("a sheet is asked for, but it "
                                                                   "is not a workbook"));
        return false;
    }
    Workbook::SheetText text = Workbook::readSheet(input.bytes, sheet);
    input.bytes = QByteArray();
    if (!text.ok())
        input.error = Workbook::fileError(name, text.error);
    else
        input.bytes = std::move(text.csv);
    return true;
}

QString sheetWithoutWorkbook(const SheetChoice &choice, bool workbook1, bool workbook2)
{
    if (choice.both.isEmpty() || workbook1 || workbook2)
        return QString();
    return QStringLiteral("--sheet is given, but neither file is a workbook");
}

} // namespace Cli
