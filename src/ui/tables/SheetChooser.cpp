#include "tables/SheetChooser.h"

#include "tables/TableSource.h"

SheetChooser::SheetChooser(QWidget *parent) : QComboBox(parent)
{
    setObjectName(QStringLiteral("SheetChooser"));
    setAccessibleName(QStringLiteral("Sheet"));
    setToolTip(QStringLiteral("The workbook's sheet to compare"));
    setSizeAdjustPolicy(QComboBox::AdjustToContents);
    setVisible(false);
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && index != m_shown)
            emit sheetChosen(index);
    });
}

void SheetChooser::showSheets(const TableSource &source)
{
    // Items are plain text: a sheet's name is never read as markup.
    const QSignalBlocker quiet(this);
    clear();
    addItems(source.sheets);
    m_shown = source.sheet;
    setCurrentIndex(source.sheet);
    setVisible(source.sheets.size() > 1);
}
