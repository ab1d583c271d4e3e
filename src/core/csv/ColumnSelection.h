#pragma once

#include <vector>

#include <QString>

#include "csv/CsvReader.h"

namespace Csv {

// A column as someone chose it. The command line names a column by its
// header name or its 1-based position; the table window, which shows the
// columns of a comparison, by where the column stands in each file.
struct ColumnChoice
{
    enum class By : quint8 { Name, Position, Place };
    By by = By::Name;
    // Name: the header name. Position: the number as written. Place: the
    // column's label, by which it is found should the files' columns move.
    QString text;
    qint64 position = 0; // Position: 1-based
    qint64 index1 = -1;  // Place: 0-based in each file; -1 when not in that file
    qint64 index2 = -1;

    static ColumnChoice named(const QString &name) { return {By::Name, name}; }
    static ColumnChoice at(qint64 position)
    {
        return {By::Position, QString::number(position), position};
    }
    static ColumnChoice placed(qint64 index1, qint64 index2, const QString &label)
    {
        return {By::Place, label, 0, index1, index2};
    }
    bool operator==(const ColumnChoice &) const = default;
};

using ColumnSelection = std::vector<ColumnChoice>;

// One item of a column list: unquoted and a whole number, a position; else a name.
ColumnChoice columnChoice(const ListItem &item);

// A column list where it comes in as text (the command line, stored
// choices): CSV, so that a name holding a comma is quoted (`id,2,"last,
// first"`). error set for a line break outside quotes, which would
// otherwise end the list unseen.
struct ColumnListParse
{
    ColumnSelection columns;
    QString error;
};
ColumnListParse parseColumnList(const QString &list);

// A choice as a list item parseColumnList reads back: a name (or a placed
// column's label) quoted, a position as its number.
QString columnChoiceText(const ColumnChoice &choice);
QString columnListText(const ColumnSelection &columns);

} // namespace Csv
