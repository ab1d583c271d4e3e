#pragma once

#include <array>

#include <QWidget>

#include "tables/RowFilter.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

// The row above the table: a box per status with its count, "Changed columns
// only", the find box with its count of matches, and Save Report. It only
// shows and asks; the window decides what each choice does.
class TableFilterBar : public QWidget
{
    Q_OBJECT

public:
    TableFilterBar(const Tables::RowFilter &filter, QWidget *parent = nullptr);

    // Each status's count in its box; none: zeros.
    void showCounts(const Tables::TableData *table);
    // Ticks a box without asking for anything.
    void setShown(Tables::Status status, bool shown);
    void setChangedColumnsOnly(bool only);

    QString findText() const;
    // Sets the box's text (a find waiting to run is dropped).
    void setFindText(const QString &text);
    void focusFind();
    // Esc: clears the find box when it has the focus and holds text.
    bool clearFindInFocus();
    // "12 of 1,234"; empty: nothing said.
    void setFindCount(const QString &text);
    QString findCount() const;

signals:
    void statusToggled(Tables::Status status, bool shown);
    void changedColumnsOnlyToggled(bool only);
    // The find box's text, a moment after the last key, or at once on Enter.
    void findTyped(const QString &text);
    void findEntered(const QString &text);
    void saveClicked();

private:
    std::array<QCheckBox *, Tables::kStatusCount> m_filters{};
    QCheckBox *m_changedOnly;
    QLineEdit *m_find;
    QLabel *m_findCount;
    QTimer *m_findTimer;
};
