#include "tables/RowTableModel.h"

#include <algorithm>
#include <iterator>

#include <QApplication>
#include <QPalette>

#include "tables/StatusColours.h"

using Tables::Status;

namespace {

// A view's header keeps an entry per row and pays for each row that comes
// in, about 13 ns, twice for the frozen columns' view: ten million rows at
// once stall the window's thread for a quarter of a second. So rows come in
// steps, one an event-loop turn. Each step also costs the headers a pass
// over the rows they have, so steps double from the first size up to the
// largest, which keeps a step under 100 ms at ten million rows.
constexpr int kRowsAddedAtOnce = 65536;
constexpr int kMostRowsAddedAtOnce = 1 << 20;

int nextStep(int rows)
{
    return std::clamp(rows, kRowsAddedAtOnce, kMostRowsAddedAtOnce);
}

} // namespace

RowTableModel::RowTableModel(QObject *parent) : QAbstractTableModel(parent)
{
    m_moreRows.setSingleShot(true);
    m_moreRows.setInterval(0);
    connect(&m_moreRows, &QTimer::timeout, this,
            [this] { addRows(qsizetype(m_rows) + nextStep(m_rows)); });
}

void RowTableModel::show(std::shared_ptr<const Tables::TableData> data, std::vector<qint32> visible)
{
    m_moreRows.stop();
    beginResetModel();
    m_data = std::move(data);
    m_visible = std::move(visible);
    m_splitRow = -1;
    m_rows = int(std::min<qsizetype>(qsizetype(m_visible.size()), kRowsAddedAtOnce));
    endResetModel();
    resumeSteps();
}

void RowTableModel::addRows(qsizetype upTo)
{
    const int rows = int(std::min<qsizetype>(upTo, qsizetype(m_visible.size())));
    if (!m_data || rows <= m_rows)
        return;
    beginInsertRows(QModelIndex(), m_rows, rows - 1);
    m_rows = rows;
    endInsertRows();
    resumeSteps();
}

void RowTableModel::showAllNow()
{
    m_moreRows.stop();
    addRows(qsizetype(m_visible.size()));
}

void RowTableModel::holdSteps()
{
    m_moreRows.stop();
}

void RowTableModel::resumeSteps()
{
    if (m_data && size_t(m_rows) < m_visible.size())
        m_moreRows.start();
}

void RowTableModel::clear()
{
    show(nullptr, {});
}

const Tables::DisplayRow &RowTableModel::displayRow(int row) const
{
    return m_data->rows[size_t(m_visible[size_t(row)])];
}

int RowTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_data ? 0 : m_rows;
}

int RowTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_data ? 0 : m_data->columnCount();
}

void RowTableModel::split(int row) const
{
    if (row == m_splitRow)
        return;
    const Tables::DisplayRow &r = displayRow(row);
    if (r.record1 >= 0)
        m_data->comparison.table1->split(r.record1, m_row1);
    if (r.record2 >= 0)
        m_data->comparison.table2->split(r.record2, m_row2);
    m_splitRow = row;
}

QVariant RowTableModel::cellData(int row, int column, int role) const
{
    const Tables::DisplayRow &r = displayRow(row);
    const qsizetype mapped = m_data->columns[size_t(column - Tables::kFixedColumns)];
    const Csv::Column &where = m_data->comparison.mapping.columns[size_t(mapped)];
    split(row);
    const bool fromFile1 = r.record2 < 0;
    const bool changed = m_data->changedAt(r, mapped);
    switch (role) {
    case Qt::DisplayRole:
        return Tables::visibleText(fromFile1 ? m_row1[where.index1] : m_row2[where.index2]);
    case OldValueRole:
        return changed ? QVariant(Tables::visibleText(m_row1[where.index1])) : QVariant();
    case Qt::ToolTipRole:
        return changed
                   ? QVariant(Tables::visibleText(m_row1[where.index1]) + QStringLiteral(" \u2192 ")
                              + Tables::visibleText(m_row2[where.index2]))
                   : QVariant();
    default:
        return QVariant();
    }
}

QVariant RowTableModel::data(const QModelIndex &index, int role) const
{
    if (!m_data || !index.isValid())
        return QVariant();
    const Tables::DisplayRow &r = displayRow(index.row());
    if (role == StatusRole)
        return int(r.status);
    if (role == Qt::BackgroundRole)
        return statusColour(r.status);
    if (role == Qt::AccessibleTextRole && index.column() == 0) {
        static const char *const names[] = {"removed", "added", "changed", "unchanged",
                                            "duplicate key"};
        static_assert(std::size(names) == Tables::kStatusCount);
        return QString::fromLatin1(names[int(r.status)]);
    }
    if (index.column() >= Tables::kFixedColumns)
        return cellData(index.row(), index.column(), role);
    if (role != Qt::DisplayRole)
        return role == Qt::TextAlignmentRole && index.column() > 0
                   ? QVariant(int(Qt::AlignRight | Qt::AlignVCenter))
                   : QVariant();
    switch (index.column()) {
    case 0:
        return Tables::statusMark(r.status);
    case 1:
        return r.record1 < 0 ? QVariant()
                             : QVariant(qlonglong(m_data->comparison.table1->line(r.record1)));
    default:
        return r.record2 < 0 ? QVariant()
                             : QVariant(qlonglong(m_data->comparison.table2->line(r.record2)));
    }
}

QColor RowTableModel::statusColour(Status status) const
{
    const QPalette palette = QApplication::palette();
    if (palette.cacheKey() != m_paletteKey) {
        for (int s = 0; s < Tables::kStatusCount; ++s)
            m_statusColours[s] = Tables::statusBackground(Status(s), palette);
        m_paletteKey = palette.cacheKey();
    }
    return m_statusColours[int(status)];
}

QVariant RowTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (!m_data || orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    return m_data->header(section);
}
