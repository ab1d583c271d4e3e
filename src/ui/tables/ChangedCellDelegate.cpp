#include "tables/ChangedCellDelegate.h"

#include <QApplication>
#include <QPainter>

#include "tables/RowTableModel.h"
#include "tables/StatusColours.h"

namespace {

constexpr int kPadding = 4;
const QString kGap = QStringLiteral("  ");

// Draws `text` from x with the run [start, start + length) on `highlight`,
// cut at the cell's right edge; returns where it ends.
int drawWithRun(QPainter *painter, const QFontMetrics &metrics, const QRect &rect, int x,
                const QString &text, qsizetype start, qsizetype length, const QColor &highlight)
{
    const QString pieces[] = {text.left(start), text.mid(start, length), text.mid(start + length)};
    for (int i = 0; i < 3 && x < rect.right(); ++i) {
        const int width = metrics.horizontalAdvance(pieces[i]);
        const QRect piece(x, rect.top(), std::min(width, rect.right() - x), rect.height());
        if (i == 1)
            painter->fillRect(piece.adjusted(0, 2, 0, -2), highlight);
        painter->drawText(piece, Qt::AlignVCenter | Qt::AlignLeft, pieces[i]);
        x += width;
    }
    return x;
}

} // namespace

void ChangedCellDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                const QModelIndex &index) const
{
    const QVariant old = index.data(RowTableModel::OldValueRole);
    if (!old.isValid()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem plain = option;
    initStyleOption(&plain, index);
    plain.text.clear(); // the background, selection and focus only: the text is ours
    const QWidget *widget = option.widget;
    (widget ? widget->style() : QApplication::style())
        ->drawControl(QStyle::CE_ItemViewItem, &plain, painter, widget);

    const QString now = index.data(Qt::DisplayRole).toString();
    const QString before = old.toString();
    const Tables::Difference d = Tables::differenceOf(before, now);
    const QColor highlight = Tables::differenceBackground(option.palette);
    const QFontMetrics metrics(option.font);
    const QRect rect = option.rect.adjusted(kPadding, 0, -kPadding, 0);
    painter->save();
    painter->setClipRect(option.rect);
    painter->setPen(option.palette.color(
        option.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
    int x = drawWithRun(painter, metrics, rect, rect.left(), now, d.start, d.newLength, highlight);
    x += metrics.horizontalAdvance(kGap);
    QFont struck = option.font;
    struck.setStrikeOut(true);
    painter->setFont(struck);
    painter->setPen(option.palette.color(QPalette::PlaceholderText));
    drawWithRun(painter, QFontMetrics(struck), rect, x, before, d.start, d.oldLength, highlight);
    painter->restore();
}

QSize ChangedCellDelegate::sizeHint(const QStyleOptionViewItem &option,
                                    const QModelIndex &index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    const QVariant old = index.data(RowTableModel::OldValueRole);
    if (old.isValid())
        size.rwidth() += QFontMetrics(option.font).horizontalAdvance(kGap + old.toString());
    return size;
}
