#pragma once

#include <optional>

#include <QPoint>
#include <QString>

class QWidget;

namespace Tables {

// What a column header's menu asks for: rows whose cell contains (or
// equals) a value; an empty value: all rows again.
struct ValueFilterChoice
{
    QString value;
    bool equals = false;
};

// Shows the menu of a column named `column` at `where`, its value box
// holding `value`; "All rows" is offered when `filtered`. Nothing: closed
// without a choice.
std::optional<ValueFilterChoice> askValueFilter(QWidget *parent, const QString &column,
                                                const QString &value, bool filtered,
                                                const QPoint &where);

} // namespace Tables
