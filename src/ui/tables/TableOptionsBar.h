#pragma once

#include <vector>

#include <QWidget>

#include "csv/RowComparison.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QMenu;
class QToolButton;

// The choices above the table: the key columns, what to ignore, numbers by
// value and how each file writes them, the delimiter and the header row. Emits changed() on every
// choice the user makes.
class TableOptionsBar : public QWidget
{
    Q_OBJECT

public:
    explicit TableOptionsBar(QWidget *parent = nullptr);

    // The columns to offer (the mapping's, in its order, with their labels).
    void setColumns(const Csv::ColumnSelection &columns);
    // Checks these columns (mapping indices) as the key; none: no key.
    void setKey(const std::vector<qsizetype> &columns);
    bool hasKeyChoice() const { return m_keyChosen; }
    // Checks these columns (by their labels) as the ones to ignore.
    void setIgnored(const Csv::ColumnSelection &columns);
    // How each file writes its decimal mark (Auto: found per column).
    void setDecimalMarks(Csv::DecimalMark file1, Csv::DecimalMark file2);

    Csv::RowOptions options() const;
    // What a comparison was made with (its columns' labels, its key, the
    // options it used), shown without asking for another one.
    void showCompared(const Csv::ColumnSelection &columns, const std::vector<qsizetype> &key,
                      const Csv::RowOptions &used);
    char delimiter() const; // 0: detected
    bool header() const;

    // For the settings store: the choices as text, and back.
    QString saved() const;
    void restore(const QString &saved);

signals:
    void changed();
    // The delimiter or the header changed: the files must be read again.
    void readingChanged();

private:
    Csv::ColumnSelection checked(const QMenu *menu) const;
    void fillMenu(QMenu *menu, bool withNoKey);
    void updateButtons();
    void fillDecimalMenu(QMenu *menu);
    Csv::DecimalMark decimalMark(int file) const;
    static void setElided(QToolButton *button, const QString &pattern,
                          const Csv::ColumnSelection &columns);

    QToolButton *m_key;
    QToolButton *m_ignored;
    QCheckBox *m_ignoreCase;
    QCheckBox *m_ignoreBlanks;
    QCheckBox *m_numbers;
    QDoubleSpinBox *m_tolerance;
    QToolButton *m_decimals;
    QComboBox *m_delimiter;
    QCheckBox *m_header;
    Csv::ColumnSelection m_columns;
    bool m_keyChosen = false;
};
