#include "csv/ColumnSelection.h"

#include <QStringList>

namespace Csv {

namespace {

// Line breaks in a list that are not inside a quoted item.
bool unquotedLineBreak(const QString &list, const std::vector<ListItem> &items)
{
    const auto breaks = [](const QString &text) { return text.count(u'\n') + text.count(u'\r'); };
    qsizetype inItems = 0;
    for (const ListItem &item : items)
        inItems += breaks(item.text);
    return breaks(list) > inItems;
}

} // namespace

ColumnChoice columnChoice(const ListItem &item)
{
    bool isNumber = false;
    const QString trimmed = item.text.trimmed();
    const qint64 number = item.quoted ? 0 : trimmed.toLongLong(&isNumber);
    if (!isNumber)
        return ColumnChoice::named(item.text);
    ColumnChoice choice = ColumnChoice::at(number);
    choice.text = trimmed; // as written, for messages
    return choice;
}

ColumnListParse parseColumnList(const QString &list)
{
    ColumnListParse parse;
    const std::vector<ListItem> items = splitList(list);
    if (unquotedLineBreak(list, items)) {
        parse.error =
            QStringLiteral("a column list holds a line break (quote a name that has one)");
        return parse;
    }
    if (list.isEmpty())
        return parse;
    for (const ListItem &item : items)
        parse.columns.push_back(columnChoice(item));
    return parse;
}

QString columnChoiceText(const ColumnChoice &choice)
{
    if (choice.by == ColumnChoice::By::Position)
        return QString::number(choice.position);
    return u'"' + QString(choice.text).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

QString columnListText(const ColumnSelection &columns)
{
    QStringList items;
    for (const ColumnChoice &choice : columns)
        items << columnChoiceText(choice);
    return items.join(u',');
}

} // namespace Csv
