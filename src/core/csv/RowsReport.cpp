#include "csv/RowsReport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include "csv/RowComparison.h"

namespace Csv {

namespace {

// Header names as they are; a column without one by its number, "#3".
QString columnLabel(const ColumnMapping &mapping, qsizetype c)
{
    const Column &column = mapping.columns[size_t(c)];
    const bool named = mapping.byName
                       && ((column.index1 >= 0 && column.index1 < mapping.width1)
                           || (column.index2 >= 0 && column.index2 < mapping.width2));
    return named ? column.name : u'#' + column.name;
}

QString csvField(QStringView cell)
{
    const bool quote =
        cell.contains(u',') || cell.contains(u'"') || cell.contains(u'\r') || cell.contains(u'\n');
    if (!quote)
        return cell.toString();
    QString field = cell.toString();
    field.replace(u'"', QStringLiteral("\"\""));
    return u'"' + field + u'"';
}

// A value in a text line: quoted, with its line breaks and quotes escaped.
QString quoted(QStringView value)
{
    QString out;
    out.reserve(value.size() + 2);
    out += u'"';
    for (const QChar c : value) {
        if (c == u'"' || c == u'\\')
            out += u'\\';
        if (c == u'\r')
            out += QStringLiteral("\\r");
        else if (c == u'\n')
            out += QStringLiteral("\\n");
        else
            out += c;
    }
    out += u'"';
    return out;
}

QStringList rowCells(const Table &table, qint32 record)
{
    QStringList cells;
    cells.reserve(table.cellCount(record));
    for (qsizetype i = 0; i < table.cellCount(record); ++i)
        cells << table.cell(record, i).toString();
    return cells;
}

// A row as one CSV line, line breaks in cells shown as \n so that it stays one line.
QString rowLine(const Table &table, qint32 record)
{
    QString line;
    for (qsizetype i = 0; i < table.cellCount(record); ++i) {
        if (i > 0)
            line += u',';
        line += csvField(table.cell(record, i));
    }
    line.replace(QStringLiteral("\r\n"), QStringLiteral("\\n"));
    line.replace(u'\r', QStringLiteral("\\n"));
    line.replace(u'\n', QStringLiteral("\\n"));
    return line;
}

// The key values of a row, from the file it belongs to.
QStringList keyValues(const RowComparison &c, qint32 record, bool file1)
{
    const Table &table = file1 ? *c.table1 : *c.table2;
    QStringList values;
    for (const qsizetype k : c.keyColumns) {
        const Column &column = c.mapping.columns[size_t(k)];
        values << table.cell(record, file1 ? column.index1 : column.index2).toString();
    }
    return values;
}

QString keyText(const RowComparison &c, const QStringList &values)
{
    QStringList parts;
    for (size_t k = 0; k < c.keyColumns.size(); ++k)
        parts << columnLabel(c.mapping, c.keyColumns[k]) + u'=' + values[qsizetype(k)];
    return parts.join(QStringLiteral(", "));
}

QString linesText(const Table &table, const std::vector<qint32> &records)
{
    QStringList lines;
    for (const qint32 r : records)
        lines << QString::number(table.line(r));
    return (records.size() == 1 ? QStringLiteral("line ") : QStringLiteral("lines "))
           + lines.join(QStringLiteral(", "));
}

QString textReport(const RowComparison &c, const QString &name1, const QString &name2)
{
    const Table &t1 = *c.table1;
    const Table &t2 = *c.table2;
    QString out = summaryLine(c) + u'\n';
    for (size_t i = 0; i < c.mapping.columns.size(); ++i) {
        const Column &column = c.mapping.columns[i];
        if (!column.inBoth()) {
            out += QStringLiteral("Column %1 only in %2\n")
                       .arg(quoted(columnLabel(c.mapping, qsizetype(i))),
                            column.index1 >= 0 ? name1 : name2);
        }
    }
    if (c.mapping.reordered)
        out += QStringLiteral("Columns in another order in %1\n").arg(name2);
    for (const DuplicateKey &d : c.duplicateKeys) {
        const bool in1 = !d.records1.empty();
        QStringList where;
        if (in1)
            where << linesText(t1, d.records1) + QStringLiteral(" of ") + name1;
        if (!d.records2.empty())
            where << linesText(t2, d.records2) + QStringLiteral(" of ") + name2;
        const QStringList key =
            in1 ? keyValues(c, d.records1[0], true) : keyValues(c, d.records2[0], false);
        out += QStringLiteral("Duplicate key %1: %2\n")
                   .arg(keyText(c, key), where.join(QStringLiteral("; ")));
    }
    const auto ragged = [&out](const Table &table, const std::vector<qint32> &rows, qsizetype width,
                               const QString &name) {
        for (const qint32 r : rows) {
            out += QStringLiteral("Ragged row: line %1 of %2 has %3 cells, not %4\n")
                       .arg(table.line(r))
                       .arg(name)
                       .arg(table.cellCount(r))
                       .arg(width);
        }
    };
    ragged(t1, c.ragged1, c.mapping.width1, name1);
    ragged(t2, c.ragged2, c.mapping.width2, name2);
    for (const qint32 r : c.removed)
        out += QStringLiteral("- line %1: %2\n").arg(t1.line(r)).arg(rowLine(t1, r));
    for (const qint32 r : c.added)
        out += QStringLiteral("+ line %1: %2\n").arg(t2.line(r)).arg(rowLine(t2, r));
    for (const ChangedRow &row : c.changed) {
        QStringList cells;
        for (const qsizetype k : row.columns) {
            const Column &column = c.mapping.columns[size_t(k)];
            cells << QStringLiteral("%1 %2 → %3")
                         .arg(columnLabel(c.mapping, k),
                              quoted(t1.cell(row.record1, column.index1)),
                              quoted(t2.cell(row.record2, column.index2)));
        }
        out += QStringLiteral("~ line %1 → %2, %3: %4\n")
                   .arg(t1.line(row.record1))
                   .arg(t2.line(row.record2))
                   .arg(keyText(c, keyValues(c, row.record2, false)),
                        cells.join(QStringLiteral("; ")));
    }
    return out;
}

QString csvReport(const RowComparison &c)
{
    const Table &t1 = *c.table1;
    const Table &t2 = *c.table2;
    const std::vector<Column> &columns = c.mapping.columns;
    QStringList header{QStringLiteral("status"), QStringLiteral("line")};
    for (size_t i = 0; i < columns.size(); ++i)
        header << csvField(columnLabel(c.mapping, qsizetype(i)));
    header << QStringLiteral("changed");
    QString out = header.join(u',') + QStringLiteral("\r\n");

    const auto row = [&](QChar status, const Table &table, qint32 record, bool file1,
                         const QString &changed) {
        out += status;
        out += u',';
        out += QString::number(table.line(record));
        for (const Column &column : columns) {
            out += u',';
            const qsizetype index = file1 ? column.index1 : column.index2;
            if (index >= 0)
                out += csvField(table.cell(record, index));
        }
        out += u',';
        out += csvField(changed);
        out += QStringLiteral("\r\n");
    };
    for (const qint32 r : c.removed)
        row(u'-', t1, r, true, QString());
    for (const qint32 r : c.added)
        row(u'+', t2, r, false, QString());
    for (const ChangedRow &changed : c.changed) {
        QStringList names;
        for (const qsizetype k : changed.columns)
            names << columnLabel(c.mapping, k);
        row(u'~', t2, changed.record2, false, names.join(QStringLiteral("; ")));
    }
    return out;
}

QJsonValue columnNumber(qsizetype index)
{
    return index >= 0 ? QJsonValue(qint64(index + 1)) : QJsonValue(QJsonValue::Null);
}

QByteArray jsonReport(const RowComparison &c, const QString &name1, const QString &name2)
{
    const Table &t1 = *c.table1;
    const Table &t2 = *c.table2;
    QJsonArray columns;
    for (size_t i = 0; i < c.mapping.columns.size(); ++i) {
        const Column &column = c.mapping.columns[i];
        const bool compared =
            std::find(c.comparedColumns.begin(), c.comparedColumns.end(), qsizetype(i))
            != c.comparedColumns.end();
        columns.append(QJsonObject{{"name", columnLabel(c.mapping, qsizetype(i))},
                                   {"column1", columnNumber(column.index1)},
                                   {"column2", columnNumber(column.index2)},
                                   {"compared", compared}});
    }
    QJsonArray key;
    for (const qsizetype k : c.keyColumns)
        key.append(columnLabel(c.mapping, k));
    const auto rows = [](const Table &table, const std::vector<qint32> &records) {
        QJsonArray list;
        for (const qint32 r : records) {
            list.append(QJsonObject{{"line", qint64(table.line(r))},
                                    {"row", QJsonArray::fromStringList(rowCells(table, r))}});
        }
        return list;
    };
    QJsonArray changed;
    for (const ChangedRow &row : c.changed) {
        QJsonArray changes;
        for (const qsizetype k : row.columns) {
            const Column &column = c.mapping.columns[size_t(k)];
            changes.append(QJsonObject{{"column", columnLabel(c.mapping, k)},
                                       {"old", t1.cell(row.record1, column.index1).toString()},
                                       {"new", t2.cell(row.record2, column.index2).toString()}});
        }
        changed.append(
            QJsonObject{{"line1", qint64(t1.line(row.record1))},
                        {"line2", qint64(t2.line(row.record2))},
                        {"key", QJsonArray::fromStringList(keyValues(c, row.record2, false))},
                        {"changes", changes}});
    }
    const auto lines = [](const Table &table, const std::vector<qint32> &records) {
        QJsonArray list;
        for (const qint32 r : records)
            list.append(qint64(table.line(r)));
        return list;
    };
    QJsonArray duplicates;
    for (const DuplicateKey &d : c.duplicateKeys) {
        const QStringList values = d.records1.empty() ? keyValues(c, d.records2[0], false)
                                                      : keyValues(c, d.records1[0], true);
        duplicates.append(QJsonObject{{"key", QJsonArray::fromStringList(values)},
                                      {"lines1", lines(t1, d.records1)},
                                      {"lines2", lines(t2, d.records2)}});
    }
    QJsonArray ragged;
    const auto addRagged = [&ragged](int file, const Table &table,
                                     const std::vector<qint32> &records, qsizetype width) {
        for (const qint32 r : records) {
            ragged.append(QJsonObject{{"file", file},
                                      {"line", qint64(table.line(r))},
                                      {"cells", qint64(table.cellCount(r))},
                                      {"expected", qint64(width)}});
        }
    };
    addRagged(1, t1, c.ragged1, c.mapping.width1);
    addRagged(2, t2, c.ragged2, c.mapping.width2);

    const QJsonObject summary{{"removed", qint64(c.removed.size())},
                              {"added", qint64(c.added.size())},
                              {"changed", qint64(c.changed.size())},
                              {"duplicateKeys", qint64(c.duplicateKeys.size())},
                              {"rows1", qint64(c.rows1)},
                              {"rows2", qint64(c.rows2)}};
    const QJsonObject object{{"file1", name1},
                             {"file2", name2},
                             {"summary", summary},
                             {"key", key},
                             {"columns", columns},
                             {"reordered", c.mapping.reordered},
                             {"removed", rows(t1, c.removed)},
                             {"added", rows(t2, c.added)},
                             {"changed", changed},
                             {"duplicateKeys", duplicates},
                             {"ragged", ragged}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace

QString withThousands(qsizetype number)
{
    QString digits = QString::number(number < 0 ? -number : number);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, u',');
    return number < 0 ? u'-' + digits : digits;
}

QString summaryLine(const RowComparison &c)
{
    return QStringLiteral("%1 removed, %2 added, %3 changed (of %4 / %5 rows)")
        .arg(withThousands(qsizetype(c.removed.size())), withThousands(qsizetype(c.added.size())),
             withThousands(qsizetype(c.changed.size())), withThousands(c.rows1),
             withThousands(c.rows2));
}

QByteArray formatReport(const RowComparison &comparison, ReportFormat format, const QString &name1,
                        const QString &name2)
{
    switch (format) {
    case ReportFormat::Text:
        return textReport(comparison, name1, name2).toUtf8();
    case ReportFormat::Csv:
        return csvReport(comparison).toUtf8();
    case ReportFormat::Json:
        return jsonReport(comparison, name1, name2);
    }
    return {};
}

} // namespace Csv
