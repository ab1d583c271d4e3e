#pragma once

#include <array>
#include <vector>

#include <QString>
#include <QStringList>

#include "csv/ColumnMapping.h"
#include "csv/CsvReader.h"

namespace Tables {

// A column of file 1 compared with a column of file 2 under another name.
struct ColumnPair
{
    qsizetype column1 = -1; // positions in each file's column list (ColumnPairing::columns)
    qsizetype column2 = -1;
    QString why;       // "similar names", "98% equal values on rows matched by key", …
    bool used = false; // compared as one by the next comparison; a suggestion starts unused
};

// What the Columns… dialog shows and edits, without a widget: each file's
// columns, the pairs the comparison uses and the pairs suggested for columns
// one file has and the other lacks. The dialog turns clicks into calls here;
// the pairs in use reach the comparison as the core's renames.
class ColumnPairing
{
public:
    // `used`: the pairs compared now (a pair naming a column neither file
    // has is dropped). Suggestions come from the names and from the values
    // on a sample of rows matched by `key` (empty or not found: a key of
    // their own).
    static ColumnPairing of(const Csv::Table &table1, const Csv::Table &table2, bool header,
                            const Csv::CellRules &rules, const Csv::ColumnSelection &key,
                            const std::vector<Csv::ColumnRename> &used);

    // A file's columns in its order: names, or "#3" without a header row.
    const QStringList &columns(int file) const { return m_columns[size_t(file - 1)]; }
    const std::vector<ColumnPair> &pairs() const { return m_pairs; }
    // Uses a pair or stops using it. What stops it (a column in another
    // pair in use), else empty.
    QString setUsed(size_t pair, bool used);
    void remove(size_t pair);
    // A pair of the user's (positions into columns()), used at once. What
    // stops it, else empty.
    QString add(qsizetype column1, qsizetype column2);
    // "email → email_address"
    QString label(const ColumnPair &pair) const;
    // The pairs in use, as the comparison takes them.
    std::vector<Csv::ColumnRename> renames() const;

private:
    // The pair in use holding this column of this file, other than `except`.
    qsizetype usedPairWith(int file, qsizetype column, qsizetype except) const;
    qsizetype find(int file, const Csv::ColumnChoice &choice) const;

    std::array<QStringList, 2> m_columns;
    std::array<std::vector<char>, 2> m_hasName; // per column: a header row names it
    std::vector<ColumnPair> m_pairs;
};

// "OLD=NEW" as --map takes it, each side quoted when it is a name.
QString renameText(const Csv::ColumnRename &rename);

} // namespace Tables
