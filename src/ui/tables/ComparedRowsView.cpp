#include "tables/ComparedRowsView.h"

#include <algorithm>

#include <QHeaderView>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include "csv/RowsReport.h"
#include "runner/BackgroundRun.h"
#include "tables/ChangedCellDelegate.h"
#include "tables/FrozenColumnsView.h"
#include "tables/PlainLabel.h"
#include "tables/RowTableModel.h"

namespace {

constexpr int kNoteMs = 2500;

} // namespace

ComparedRowsView::ComparedRowsView(QWidget *parent)
    : QWidget(parent), m_view(new FrozenColumnsView(this)), m_model(new RowTableModel(this)),
      m_note(Tables::plainLabel(QString(), this)), m_noteTimer(new QTimer(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_view->setModel(m_model);
    m_view->setItemDelegate(new ChangedCellDelegate(m_view));
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setTabKeyNavigation(false); // Tab goes on to the next control
    m_view->setAccessibleName(tr("Compared rows"));
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 6);
    m_view->verticalHeader()->hide();
    layout->addWidget(m_view, 1);
    m_note->setAccessibleName(tr("Position among the changes"));
    m_note->hide();
    layout->addWidget(m_note);
    m_noteTimer->setSingleShot(true);
    connect(m_noteTimer, &QTimer::timeout, m_note, &QWidget::hide);
}

void ComparedRowsView::show(const std::shared_ptr<const Tables::TableData> &table,
                            std::vector<qint32> visible, bool toTop)
{
    // A million rows take a while to let go of.
    std::shared_ptr<const void> previous = m_model->tableData();
    m_model->show(table, std::move(visible));
    if (previous != table && previous.use_count() == 1)
        (void)QtConcurrent::run(&workerPool(), [previous = std::move(previous)] {});
    if (toTop && m_model->rowCount() > 0)
        m_view->scrollToTop();
}

void ComparedRowsView::showChangedColumnsOnly(const Tables::TableData &table, bool only)
{
    const std::vector<bool> shown = Tables::columnsWithChanges(table);
    for (int c = 0; c < int(shown.size()); ++c)
        m_view->setColumnHidden(c, only && !shown[size_t(c)]);
}

void ComparedRowsView::moveToChangedCell(const Tables::TableData &table, bool forward)
{
    const QModelIndex current = m_view->currentIndex();
    const qsizetype row = current.isValid() ? current.row() : (forward ? -1 : 0);
    const int column = current.isValid() ? current.column() : (forward ? -1 : table.columnCount());
    const auto next = Tables::nextChangedCell(table, m_model->visible(), row, column, forward);
    if (!next) {
        showNote(tr("No changed cell"));
        return;
    }
    if (next->first >= m_model->rowCount())
        m_model->showAllNow(); // rows still coming in
    const QModelIndex target = m_model->index(int(next->first), next->second);
    m_view->setFocus(Qt::ShortcutFocusReason);
    m_view->setCurrentIndex(target);
    m_view->scrollTo(target, QAbstractItemView::PositionAtCenter);
    const auto [at, total] = Tables::changePosition(table, m_model->visible(), next->first);
    showNote(tr("Change %1 of %2").arg(Csv::withThousands(at), Csv::withThousands(total)));
}

void ComparedRowsView::showNote(const QString &text)
{
    m_note->setText(text);
    m_note->show();
    m_noteTimer->start(kNoteMs);
}

QString ComparedRowsView::moveNote() const
{
    return m_note->isHidden() ? QString() : m_note->text();
}

QString ComparedRowsView::selectionText(const Tables::TableData &table) const
{
    std::vector<int> positions;
    for (const QModelIndex &index : m_view->selectionModel()->selectedRows())
        positions.push_back(index.row());
    if (positions.empty())
        return {};
    std::sort(positions.begin(), positions.end()); // in the order the view shows them
    std::vector<qint32> rows;
    for (const int at : positions)
        rows.push_back(m_model->visible()[size_t(at)]);
    return Tables::tabSeparated(table, rows, m_view->shownColumns());
}

QString ComparedRowsView::currentText(int column) const
{
    const QModelIndex current = m_view->currentIndex();
    return current.isValid() ? m_model->index(current.row(), column).data().toString() : QString();
}

QByteArray ComparedRowsView::columnsState() const
{
    return m_view->horizontalHeader()->saveState();
}

void ComparedRowsView::restoreColumns(const QByteArray &state, const Tables::RowFilter &filter)
{
    m_view->horizontalHeader()->restoreState(state);
    m_view->horizontalHeader()->setSortIndicator(
        filter.sortColumn, filter.descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}
