#pragma once

#include <vector>

#include <QObject>

#include "tables/RowFilter.h"

class ComparedRowsView;
class QPoint;
class TableFilterBar;
class TableResultBar;
class TableWork;

namespace Tables {
class RowFinder;
class TableSession;
} // namespace Tables

// What each filter, find and sort choice does: the session's filter changed,
// its rows filtered off the window's thread (as typed: by the finder) and
// shown with their counts. The one path for status filters, find, column
// filters and sort; the bars and the table only show and ask.
class TableFiltering : public QObject
{
    Q_OBJECT

public:
    TableFiltering(Tables::TableSession &session, TableWork &work, Tables::RowFinder &finder,
                   ComparedRowsView &rows, TableFilterBar &filterBar, TableResultBar &resultBar,
                   QObject *parent = nullptr);

    // Runs the session's filter and sort and shows its rows.
    void refilter();
    void showVisible(std::vector<qint32> visible);
    void showStatus(Tables::Status status, bool shown);
    // Filters at once; findAsTyped: a newer keystroke stops an older run.
    void setFindText(const QString &text);
    void findAsTyped(const QString &text);
    // Only rows changed in this mapping column; -1: all rows.
    void showChangesIn(qsizetype mappingColumn);
    void filterByValue(int displayColumn, const QString &value, bool equals);
    // A column header's menu of value filters, at `where`.
    void headerMenu(int column, const QPoint &where);
    void sortBy(int column);
    void setChangedColumnsOnly(bool only);
    // Hides the columns without a change when only changed ones are shown.
    void updateHiddenColumns();

signals:
    // The find box's filter, run as typed, is shown.
    void found();

private:
    Tables::TableSession &m_session;
    TableWork &m_work;
    Tables::RowFinder &m_finder;
    ComparedRowsView &m_rows;
    TableFilterBar &m_filterBar;
    TableResultBar &m_resultBar;
    bool m_changedColumnsOnly = false;
};
