#include "tables/ChangedCellDelegate.h"

#include <QPainter>

#include "tables/RowTableModel.h"
#include "tables/StatusColours.h"

namespace {

constexpr int kPadding = 4;
const QString kGap = QStringLiteral("  ");

// Draws `text` from x with the run [start, start + length) on `highlight`;
// returns where it ends.
int drawWithRun(QPainter *painter, const QFontMetrics &metrics, const QRect &rect, int x,
                const QString &text, qsizetype start, qsizetype length, const QColor &highlight)
{
    const QString head = text.left(start);
    const QString run = text.mid(start, length);
    const QString tail = text.mid(start + length);
    const int y = rect.top();
    painter->drawText(QRect(x, y, rect.right() - x, rect.height()), Qt::AlignVCenter, head);
    x += metrics.horizontalAdvance(head);
    const int runWidth = metrics.horizontalAdvance(run);
    painter->fillRect(QRect(x, y + 2, runWidth, rect.height() - 4), highlight);
    painter->drawText(QRect(x, y, rect.right() - x, rect.height()), Qt::AlignVCenter, run);
    x += runWidth;
    painter->drawText(QRect(x, y, rect.right() - x, rect.height()), Qt::AlignVCenter, tail);
    return x + metrics.horizontalAdvance(tail);
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
    plain.text.clear();
    QStyledItemDelegate::paint(painter, plain, index); // background, selection, focus

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
