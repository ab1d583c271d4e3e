#pragma once

#include <QDialog>

#include "tables/ColumnPairing.h"

class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;

// The Columns… dialog: the pairs of renamed columns, suggested or made by
// hand, each checked when the comparison uses it; a column of each file can
// be paired and a pair removed. It edits a copy of the pairing it is given.
class ColumnsDialog final : public QDialog
{
    Q_OBJECT

public:
    ColumnsDialog(const Tables::ColumnPairing &pairing, QWidget *parent = nullptr);

    const Tables::ColumnPairing &pairing() const { return m_pairing; }

private:
    void showPairs();
    void pairChecked(QListWidgetItem *item);
    void addPair();
    void removePair();

    Tables::ColumnPairing m_pairing;
    QListWidget *m_pairs;
    QComboBox *m_column1;
    QComboBox *m_column2;
    QLabel *m_message;
};
