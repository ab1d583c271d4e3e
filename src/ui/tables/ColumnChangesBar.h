#pragma once

#include <vector>

#include <QWidget>

#include "tables/TableRows.h"

class QHBoxLayout;
class QPushButton;

// The changes per column over the table, most first ("city 42", "balance
// 41", …), one button each: a click asks for the rows changed in that
// column, a second click for all rows again.
class ColumnChangesBar : public QWidget
{
    Q_OBJECT

public:
    explicit ColumnChangesBar(QWidget *parent = nullptr);

    // Hidden when no cell changed. `selected`: the column shown alone, or -1.
    void show(const Tables::TableData &table, qsizetype selected);
    void select(qsizetype column);

signals:
    // A mapping column, or -1 for every row.
    void chosen(qsizetype column);

private:
    QHBoxLayout *m_layout;
    std::vector<std::pair<QPushButton *, qsizetype>> m_buttons; // with their column
};
