#pragma once

#include <optional>

#include <QString>

namespace Tables {

// The choices a user made for a pair of files, offered again the next time
// files of the same names are compared (weekly exports keep their names).
struct PairChoices
{
    QString key;           // COLS; empty with noKey: whole rows
    bool noKey = false;    // "No key" was chosen
    QString ignoreColumns; // COLS

    bool operator==(const PairChoices &) const = default;
    QString toText() const;
    // Nothing for a text that is not one of ours.
    static std::optional<PairChoices> fromText(const QString &text);
};

// The settings entry of a pair: the same for the same two names, in order,
// whatever characters they hold.
QString pairEntry(const QString &name1, const QString &name2);

} // namespace Tables
