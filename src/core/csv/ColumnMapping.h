#pragma once

#include <vector>

#include <QString>

#include "csv/CellRules.h"
#include "csv/ColumnSelection.h"
#include "csv/CsvReader.h"

namespace Csv {

// A column of the comparison and where it stands in each file (0-based;
// -1: the file has no such column).
struct Column
{
    qint64 index1 = -1;
    qint64 index2 = -1;
    bool inBoth() const { return index1 >= 0 && index2 >= 0; }
};

// How the columns of two tables pair up. With headers they pair by name (the
// n-th column of a name with the n-th of that name in the other file) and
// cells past the header pair by position; without, all pair by position.
struct ColumnMapping
{
    std::vector<Column> columns; // file 1's order, then the columns only file 2 has
    bool byName = false;
    bool reordered = false; // the shared columns stand in another order in file 2
    // The cell count a row should have: the header's, or without a header the
    // first row's (-1 for an empty file).
    qsizetype width1 = -1;
    qsizetype width2 = -1;
    Row header1; // the header rows, when columns pair by name
    Row header2;
    // Columns paired by hand whose names differ in the two files, ascending.
    std::vector<qsizetype> renamed;

    // Whether the column has a header name.
    bool named(qsizetype c) const;
    // The header name's bytes; for a column without one, empty.
    QByteArrayView nameBytes(qsizetype c) const;
    // The header name, or the column's 1-based number when it has none.
    QString name(qsizetype c) const;
    // The name, or "#3" for a column without one; a renamed column's two
    // names as "email→email_address".
    QString label(qsizetype c) const;
    bool isRenamed(qsizetype c) const;
    // The header name in one file (1 or 2); empty where that file has none.
    QByteArrayView nameBytesIn(qsizetype c, int file) const;
    // The column's 1-based position: in file 2 when it has it, else in file 1.
    qint64 number(qsizetype c) const;
};

// Names are compared under the same rules as cells (numbers aside).
ColumnMapping mapColumns(const Table &table1, const Table &table2, bool header,
                         const CellRules &rules);

// A column renamed between the files, paired by hand: OLD=NEW as written.
struct ColumnRename
{
    ColumnChoice column1; // in file 1, by name or position
    ColumnChoice column2; // in file 2
};

// Reads "OLD=NEW": each side a column as in a column list below (a number is
// a position, anything quoted a name: "\"a=b\"=c"). error set when malformed.
struct RenameParse
{
    ColumnRename rename;
    QString error;
};
RenameParse parseRename(const QString &text);

// The columns a selection picks: a position is the column there in file 1
// (in file 2 when file 1 has no columns), a name the first column of that
// header name, a place the column standing there in both files (else the
// one its label names). error names what is not found; errorFile is 1 or 2
// when it lies in a file.
struct ColumnPick
{
    std::vector<qsizetype> columns; // indices into ColumnMapping::columns
    QString error;
    int errorFile = 0;
};

// `inBoth`: every column must be in both files, unless one of them is empty.
ColumnPick pickColumns(const ColumnMapping &mapping, const ColumnSelection &selection, bool inBoth,
                       bool empty1, bool empty2, const CellRules &rules);

// Pairs each OLD column of file 1 with the NEW column of file 2, whatever
// their names; a column either had paired with before stands alone. The
// error (and its file) when a column is not found or is paired twice.
ColumnPick renameColumns(ColumnMapping &mapping, const std::vector<ColumnRename> &renames,
                         const CellRules &rules);

} // namespace Csv
