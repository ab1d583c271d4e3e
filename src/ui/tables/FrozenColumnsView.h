#pragma once

#include <vector>

#include <QTableView>

// A table whose first columns stay in place while the others scroll sideways:
// a second view over the same model and selection lies over the left edge,
// sharing the vertical scroll (the shape of Qt's frozen-column example).
class FrozenColumnsView : public QTableView
{
    Q_OBJECT

public:
    explicit FrozenColumnsView(QWidget *parent = nullptr);

    void setModel(QAbstractItemModel *model) override;
    void setItemDelegate(QAbstractItemDelegate *delegate);
    // How many columns from the left stay in place (0: none).
    void setFrozenColumns(int count);
    int frozenColumns() const { return m_frozen; }
    QTableView &frozenView() { return *m_frozenView; }
    // The width the frozen columns cover.
    int frozenWidth() const;

    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;
    // Shown on both parts' headers.
    void setSortIndicator(int column, Qt::SortOrder order);
    // The columns shown, in the order they show, hidden ones left out.
    std::vector<int> shownColumns() const;

signals:
    // From either part: a header clicked, a header's menu asked for (at a
    // point of the screen), a row activated (Enter, a double click).
    void headerClicked(int column);
    void headerMenuAsked(int column, const QPoint &where);
    void rowActivated(const QModelIndex &index);

protected:
    void resizeEvent(QResizeEvent *event) override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    void updateGeometries() override;

private:
    void offerHeader(QTableView &part);
    void copyWidths();
    void placeFrozenView();
    void alignBesideFrozen(int value);

    QTableView *m_frozenView;
    int m_frozen = 0;
    int m_lastAcross = 0;
};
