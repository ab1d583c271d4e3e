#pragma once

#include <memory>
#include <vector>

#include <QWidget>

#include "tables/RowFilter.h"

class FrozenColumnsView;
class QLabel;
class QTimer;
class RowTableModel;

// The table of compared rows (status, line and key columns frozen) and,
// under it, the note of the change F7 reached ("Change 3 of 198").
class ComparedRowsView : public QWidget
{
    Q_OBJECT

public:
    explicit ComparedRowsView(QWidget *parent = nullptr);

    FrozenColumnsView &view() { return *m_view; }
    RowTableModel &model() { return *m_model; }

    // Shows `visible` rows of `data`; the first in sight when `toTop`. The
    // data shown before is freed on a worker thread when nothing else holds it.
    void show(const std::shared_ptr<const Tables::TableData> &table, std::vector<qint32> visible,
              bool toTop);
    // The columns without a change hidden, or all shown again.
    void showChangedColumnsOnly(const Tables::TableData &table, bool only);
    // The next (or previous) changed cell made current, centred and focused,
    // with its place among the changes in the note.
    void moveToChangedCell(const Tables::TableData &table, bool forward);
    QString moveNote() const;
    // The selected rows as the view shows them, tab-separated; empty: none.
    QString selectionText(const Tables::TableData &table) const;
    // The text of the current row's cell in `column`; empty without one.
    QString currentText(int column) const;
    // The header's state, and back (with the sort shown by `filter`).
    QByteArray columnsState() const;
    void restoreColumns(const QByteArray &state, const Tables::RowFilter &filter);

private:
    void showNote(const QString &text);

    FrozenColumnsView *m_view;
    RowTableModel *m_model;
    QLabel *m_note;
    QTimer *m_noteTimer;
};
