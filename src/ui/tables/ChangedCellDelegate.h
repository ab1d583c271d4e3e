#pragma once

#include <QStyledItemDelegate>

// Paints a changed cell as its new value, the characters that differ
// highlighted, then the old value struck through beside it.
class ChangedCellDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
