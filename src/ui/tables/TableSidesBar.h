#pragma once

#include <array>

#include <QWidget>

class QLabel;
class SheetChooser;

namespace Tables {
class TableSession;
}

// The two lines at the top of the table window: each side's Open button,
// what was read (name, rows, delimiter, encoding) and, for a workbook, its
// sheets; beside file 2, Columns… for columns renamed between the files.
class TableSidesBar : public QWidget
{
    Q_OBJECT

public:
    explicit TableSidesBar(QWidget *parent = nullptr);

    // What the session holds of each side.
    void showSides(const Tables::TableSession &session);

signals:
    void openClicked(int side);
    void sheetChosen(int side, int sheet);
    void columnsClicked();

private:
    std::array<QLabel *, 2> m_labels{};
    std::array<SheetChooser *, 2> m_sheets{};
};
