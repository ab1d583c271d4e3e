#include "tables/TableFiltering.h"

#include "tables/ColumnValueMenu.h"
#include "tables/ComparedRowsView.h"
#include "tables/FrozenColumnsView.h"
#include "tables/RowFinder.h"
#include "tables/RowTableModel.h"
#include "tables/TableFilterBar.h"
#include "tables/TableResultBar.h"
#include "tables/TableSession.h"
#include "tables/TableWork.h"

TableFiltering::TableFiltering(Tables::TableSession &session, TableWork &work,
                               Tables::RowFinder &finder, ComparedRowsView &rows,
                               TableFilterBar &filterBar, TableResultBar &resultBar,
                               QObject *parent)
    : QObject(parent), m_session(session), m_work(work), m_finder(finder), m_rows(rows),
      m_filterBar(filterBar), m_resultBar(resultBar)
{
    connect(&m_finder, &Tables::RowFinder::found, this, [this](std::vector<qint32> visible) {
        showVisible(std::move(visible));
        emit found();
    });
    // Rows held for a find that will not answer come in again.
    connect(&m_finder, &Tables::RowFinder::dropped, this, [this] { m_rows.model().resumeSteps(); });
}

void TableFiltering::refilter()
{
    const std::shared_ptr<Tables::TableData> result = m_session.data();
    if (!result || m_work.busy())
        return;
    m_finder.stop();
    const Tables::RowFilter filter = m_session.filter;
    std::vector<qint32> visible;
    m_rows.model().holdSteps();
    if (m_work.run(tr("Filtering the rows…"),
                   [&] { visible = Tables::visibleRows(*result, filter); }))
        showVisible(std::move(visible));
    else
        m_rows.model().resumeSteps();
}

void TableFiltering::findAsTyped(const QString &text)
{
    m_session.filter.find = text;
    if (m_session.data() && !m_work.busy()) {
        m_finder.find(m_session.data(), m_session.filter);
        m_rows.model().holdSteps(); // until the find answers or is dropped
    }
}

void TableFiltering::showVisible(std::vector<qint32> visible)
{
    // A find shows its first match in sight.
    m_rows.show(m_session.data(), std::move(visible), !m_session.filter.find.isEmpty());
    m_filterBar.setFindCount(m_session.findCount(qsizetype(m_rows.model().visible().size())));
}

void TableFiltering::showStatus(Tables::Status status, bool shown)
{
    m_session.filter.shown[size_t(status)] = shown;
    m_filterBar.setShown(status, shown);
    refilter();
}

void TableFiltering::setFindText(const QString &text)
{
    m_filterBar.setFindText(text);
    m_session.filter.find = text;
    refilter();
}

void TableFiltering::showChangesIn(qsizetype mappingColumn)
{
    m_session.filter.changedIn = mappingColumn;
    m_resultBar.selectColumn(mappingColumn);
    refilter();
}

void TableFiltering::filterByValue(int displayColumn, const QString &value, bool equals)
{
    if (m_session.filterByValue(displayColumn, value, equals))
        refilter();
}

// The value the menu offers is the one filtered by, else the current row's.
void TableFiltering::headerMenu(int column, const QPoint &where)
{
    const std::shared_ptr<Tables::TableData> &result = m_session.data();
    if (!result || column < Tables::kFixedColumns)
        return;
    const Tables::RowFilter &filter = m_session.filter;
    const QString value = filter.valueColumn == result->mappingColumn(column)
                              ? filter.value
                              : m_rows.currentText(column);
    if (const auto choice = Tables::askValueFilter(m_rows.window(), result->header(column), value,
                                                   filter.valueColumn >= 0, where))
        filterByValue(column, choice->value, choice->equals);
}

void TableFiltering::sortBy(int column)
{
    if (!m_session.data() || m_work.busy())
        return;
    m_session.sortBy(column);
    m_rows.view().setSortIndicator(column, m_session.filter.descending ? Qt::DescendingOrder
                                                                       : Qt::AscendingOrder);
    refilter();
}

void TableFiltering::setChangedColumnsOnly(bool only)
{
    m_changedColumnsOnly = only;
    m_filterBar.setChangedColumnsOnly(only);
    updateHiddenColumns();
}

void TableFiltering::updateHiddenColumns()
{
    if (m_session.data())
        m_rows.showChangedColumnsOnly(*m_session.data(), m_changedColumnsOnly);
}
