#include "tables/FrozenColumnsView.h"

#include <algorithm>

#include <QHeaderView>
#include <QScrollBar>

FrozenColumnsView::FrozenColumnsView(QWidget *parent)
    : QTableView(parent), m_frozenView(new QTableView(this))
{
    m_frozenView->setFocusPolicy(Qt::NoFocus);
    m_frozenView->verticalHeader()->hide();
    m_frozenView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_frozenView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_frozenView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_frozenView->setFrameShape(QFrame::NoFrame);
    m_frozenView->setAccessibleName(tr("Status, lines and key"));
    setHorizontalScrollMode(ScrollPerPixel);
    viewport()->stackUnder(m_frozenView);
    m_frozenView->hide();

    connect(horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int logical, int, int size) {
                if (logical < m_frozen) {
                    m_frozenView->setColumnWidth(logical, size);
                    placeFrozenView();
                }
            });
    connect(m_frozenView->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int logical, int, int size) {
                if (logical < m_frozen && columnWidth(logical) != size)
                    setColumnWidth(logical, size);
            });
    connect(verticalHeader(), &QHeaderView::sectionResized, this,
            [this](int logical, int, int size) { m_frozenView->setRowHeight(logical, size); });
    connect(m_frozenView->verticalScrollBar(), &QAbstractSlider::valueChanged, verticalScrollBar(),
            &QAbstractSlider::setValue);
    connect(verticalScrollBar(), &QAbstractSlider::valueChanged, m_frozenView->verticalScrollBar(),
            &QAbstractSlider::setValue);
    // The frozen columns never scroll sideways, whatever cell becomes current.
    QScrollBar *across = m_frozenView->horizontalScrollBar();
    connect(across, &QAbstractSlider::valueChanged, this, [across](int value) {
        if (value != 0)
            across->setValue(0);
    });
    connect(horizontalScrollBar(), &QAbstractSlider::valueChanged, this,
            &FrozenColumnsView::alignBesideFrozen);
    offerHeader(*this);
    offerHeader(*m_frozenView);
}

// A column half under the frozen ones would show the end of its cells under
// a header that reads whole: sideways scrolling stops only where a column
// starts at the frozen columns' edge, moving on in the direction it went
// (while the bar is dragged, always back: forth and back would flicker).
// Past the last such place, it goes to the very end, so that the last column
// can always be reached.
void FrozenColumnsView::alignBesideFrozen(int value)
{
    QScrollBar *across = horizontalScrollBar();
    const bool forward = value >= m_lastAcross && !across->isSliderDown();
    m_lastAcross = value;
    if (!m_frozenView->isVisible())
        return;
    const int edge = frozenWidth();
    const int column = columnAt(edge);
    if (column < 0)
        return;
    const int left = columnViewportPosition(column);
    if (left == edge)
        return;
    const int aligned = forward ? value + left + columnWidth(column) - edge : value + left - edge;
    across->setValue(std::clamp(aligned, across->minimum(), across->maximum()));
}

void FrozenColumnsView::offerHeader(QTableView &part)
{
    QHeaderView *header = part.horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QHeaderView::sectionClicked, this, &FrozenColumnsView::headerClicked);
    connect(header, &QHeaderView::customContextMenuRequested, this, [this, header](QPoint at) {
        emit headerMenuAsked(header->logicalIndexAt(at), header->mapToGlobal(at));
    });
    connect(&part, &QTableView::activated, this, &FrozenColumnsView::rowActivated);
}

void FrozenColumnsView::setSortIndicator(int column, Qt::SortOrder order)
{
    horizontalHeader()->setSortIndicator(column, order);
    m_frozenView->horizontalHeader()->setSortIndicator(column, order);
}

std::vector<int> FrozenColumnsView::shownColumns() const
{
    std::vector<int> columns;
    const QHeaderView *header = horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (!header->isSectionHidden(logical))
            columns.push_back(logical);
    }
    return columns;
}

void FrozenColumnsView::setModel(QAbstractItemModel *model)
{
    QTableView::setModel(model);
    m_frozenView->setModel(model);
    m_frozenView->setSelectionModel(selectionModel());
    // A reset gives the header new sections: their widths again.
    connect(model, &QAbstractItemModel::modelReset, this, &FrozenColumnsView::copyWidths);
}

void FrozenColumnsView::setItemDelegate(QAbstractItemDelegate *delegate)
{
    QTableView::setItemDelegate(delegate);
    m_frozenView->setItemDelegate(delegate);
}

void FrozenColumnsView::setFrozenColumns(int count)
{
    m_frozen = count;
    m_frozenView->verticalHeader()->setDefaultSectionSize(verticalHeader()->defaultSectionSize());
    m_frozenView->setSelectionBehavior(selectionBehavior());
    copyWidths();
}

int FrozenColumnsView::frozenWidth() const
{
    int width = 0;
    const int columns = model() ? std::min(m_frozen, model()->columnCount()) : 0;
    for (int c = 0; c < columns; ++c)
        width += isColumnHidden(c) ? 0 : columnWidth(c);
    return width;
}

void FrozenColumnsView::copyWidths()
{
    const int columns = model() ? std::min(m_frozen, model()->columnCount()) : 0;
    for (int c = 0; c < columns; ++c)
        m_frozenView->setColumnWidth(c, columnWidth(c));
    placeFrozenView();
}

void FrozenColumnsView::placeFrozenView()
{
    const int width = frozenWidth();
    // Nothing to freeze, or a window too narrow to show anything beside it.
    const bool shown = width > 0 && width < viewport()->width() * 3 / 4;
    m_frozenView->setVisible(shown);
    if (!shown)
        return;
    m_frozenView->setGeometry(
        frameWidth() + (verticalHeader()->isVisible() ? verticalHeader()->width() : 0),
        frameWidth(), width, viewport()->height() + horizontalHeader()->height());
    m_frozenView->verticalScrollBar()->setValue(verticalScrollBar()->value());
}

void FrozenColumnsView::resizeEvent(QResizeEvent *event)
{
    QTableView::resizeEvent(event);
    placeFrozenView();
}

void FrozenColumnsView::updateGeometries()
{
    QTableView::updateGeometries();
    placeFrozenView();
}

// Moving left onto a cell under the frozen columns scrolls it out from there.
QModelIndex FrozenColumnsView::moveCursor(CursorAction cursorAction,
                                          Qt::KeyboardModifiers modifiers)
{
    const QModelIndex current = QTableView::moveCursor(cursorAction, modifiers);
    if (m_frozenView->isVisible() && current.column() >= m_frozen) {
        const int left = visualRect(current).left();
        if (left < frozenWidth())
            horizontalScrollBar()->setValue(horizontalScrollBar()->value() + left - frozenWidth());
    }
    return current;
}

void FrozenColumnsView::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    const int across = horizontalScrollBar()->value();
    QTableView::scrollTo(index, hint);
    if (!m_frozenView->isVisible() || !index.isValid())
        return;
    if (index.column() < m_frozen) { // always in sight: only the row moves
        horizontalScrollBar()->setValue(across);
        return;
    }
    const int left = visualRect(index).left();
    if (left < frozenWidth())
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() + left - frozenWidth());
}
