#pragma once

#include <cstddef>
#include <cstring>

#include <QString>
#include <QStringView>

namespace Csv {

// How two cells are compared.
struct CellRules
{
    bool ignoreCase = false;  // Unicode case folding
    bool ignoreSpace = false; // blanks around a cell do not count
};

// The cell as the rules see it: trimmed when blanks are ignored, case-folded
// when case is ignored (then written into `scratch` when folding changes it).
QStringView normalisedCell(QStringView cell, const CellRules &rules, QString &scratch);

// Cells under rules that ignore something; cellsEqual's slow path.
bool normalisedCellsEqual(QStringView a, QStringView b, const CellRules &rules);

inline bool cellsEqual(QStringView a, QStringView b, const CellRules &rules)
{
    if (rules.ignoreCase || rules.ignoreSpace)
        return normalisedCellsEqual(a, b, rules);
    // Inline: a comparison of a million rows compares ten million cells.
    // An empty view may have no data at all, which memcmp must not be given.
    return a.size() == b.size()
           && (a.isEmpty()
               || std::memcmp(a.utf16(), b.utf16(), size_t(a.size()) * sizeof(char16_t)) == 0);
}

// A hash that agrees with cellsEqual: equal cells hash alike.
size_t cellHash(QStringView cell, const CellRules &rules);

// Folds the hash of the next cell of a row into `seed`.
inline size_t combineHash(size_t seed, size_t cell)
{
    return seed ^ (cell + 0x9E3779B97F4A7C15ULL + (seed << 6) + (seed >> 2));
}

} // namespace Csv
