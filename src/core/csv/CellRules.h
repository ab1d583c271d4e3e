#pragma once

#include <cstddef>
#include <cstring>
#include <string>

#include <QByteArrayView>

namespace Csv {

// How two cells are compared.
struct CellRules
{
    bool ignoreCase = false;  // full Unicode case folding (ß = ss)
    bool ignoreSpace = false; // blanks around a cell do not count; CR LF, CR, LF are one break
    bool numbers = false;     // cells that both read as numbers compare by value
    double tolerance = 0;     // with numbers: values this close count as equal

    // The rules with no tolerance: equality that a hash can agree with, for
    // keys and whole rows.
    CellRules exact() const
    {
        CellRules rules = *this;
        rules.tolerance = 0;
        return rules;
    }
    bool plain() const { return !ignoreCase && !ignoreSpace && !numbers; }
};

// The cell as exact rules see it: trimmed, its breaks made LF, case-folded,
// or a number's value (a byte that UTF-8 never holds, then the value's eight
// bytes). A view of `cell`, or of `scratch` when something changed.
QByteArrayView normalisedCell(QByteArrayView cell, const CellRules &rules, std::string &scratch);

// The value of a cell that reads as a decimal number ("-1.5e3", ".5", "1.");
// false for anything else, "nan" and "inf" included.
bool numberValue(QByteArrayView cell, double &value);

// Cells under rules that ignore something; cellsEqual's slow path.
bool normalisedCellsEqual(QByteArrayView a, QByteArrayView b, const CellRules &rules);

inline bool cellsEqual(QByteArrayView a, QByteArrayView b, const CellRules &rules)
{
    if (!rules.plain())
        return normalisedCellsEqual(a, b, rules);
    // Inline: a comparison of a million rows compares ten million cells.
    // An empty view may have no data at all, which memcmp must not be given.
    return a.size() == b.size()
           && (a.isEmpty() || std::memcmp(a.data(), b.data(), size_t(a.size())) == 0);
}

// A hash that agrees with cellsEqual under rules.exact(): equal cells hash alike.
size_t cellHash(QByteArrayView cell, const CellRules &rules);

// Folds the hash of the next cell of a row into `seed`.
inline size_t combineHash(size_t seed, size_t cell)
{
    return seed ^ (cell + 0x9E3779B97F4A7C15ULL + (seed << 6) + (seed >> 2));
}

} // namespace Csv
