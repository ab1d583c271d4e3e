#include "tables/ColumnValueMenu.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QMenu>
#include <QWidgetAction>

namespace Tables {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("ColumnValueMenu", text);
}

} // namespace

std::optional<ValueFilterChoice> askValueFilter(QWidget *parent, const QString &column,
                                                const QString &value, bool filtered,
                                                const QPoint &where)
{
    QMenu menu(parent);
    auto *box = new QLineEdit(&menu);
    box->setPlaceholderText(tr("Value"));
    box->setText(value);
    auto *field = new QWidgetAction(&menu);
    field->setDefaultWidget(box);
    menu.addAction(field);
    QAction *contains = menu.addAction(tr("Rows whose %1 contains it").arg(column));
    QAction *equals = menu.addAction(tr("Rows whose %1 equals it").arg(column));
    QAction *clear = menu.addAction(tr("All rows"));
    clear->setEnabled(filtered);
    QObject::connect(box, &QLineEdit::returnPressed, contains, &QAction::trigger);
    box->setFocus();
    QAction *chosen = menu.exec(where);
    if (chosen == contains || chosen == equals)
        return ValueFilterChoice{box->text(), chosen == equals};
    if (chosen == clear)
        return ValueFilterChoice{};
    return std::nullopt;
}

} // namespace Tables
