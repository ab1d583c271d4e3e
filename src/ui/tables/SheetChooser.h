#pragma once

#include <QComboBox>

struct TableSource;

// The sheet chooser of a file's line in the table window: a list of a
// workbook's sheets, shown only when the file is a workbook of several.
// Choosing another sheet asks for the file to be read again with it.
class SheetChooser : public QComboBox
{
    Q_OBJECT

public:
    explicit SheetChooser(QWidget *parent = nullptr);

    // Lists the sheets of `source` with the one it was read from selected;
    // hidden for a text file or a workbook of one sheet.
    void showSheets(const TableSource &source);

signals:
    // The user chose sheet `sheet` (from 0), another than the one shown.
    void sheetChosen(int sheet);

private:
    int m_shown = 0;
};
