#pragma once

#include <optional>
#include <vector>

#include <QString>

#include "csv/CellRules.h"
#include "csv/ColumnMapping.h"

namespace Tables {

// The choices a user made for a pair of files, offered again the next time
// files of the same names are compared (weekly exports keep their names).
struct PairChoices
{
    Csv::ColumnSelection key; // empty with noKey: whole rows
    bool noKey = false;       // "No key" was chosen
    Csv::ColumnSelection ignoreColumns;
    std::vector<Csv::ColumnRename> renames; // columns paired across a rename
    Csv::DecimalMark decimalMark1 = Csv::DecimalMark::Auto;
    Csv::DecimalMark decimalMark2 = Csv::DecimalMark::Auto;

    // Columns are the same when they are stored the same.
    bool operator==(const PairChoices &other) const;
    QString toText() const;
    // Nothing for a text that is not one of ours. Choices stored before
    // pairs and decimal marks were remembered read with none.
    static std::optional<PairChoices> fromText(const QString &text);
};

// The settings entry of a pair: the same for the same two names, in order,
// whatever characters they hold.
QString pairEntry(const QString &name1, const QString &name2);

} // namespace Tables
