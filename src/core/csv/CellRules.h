#pragma once

#include <cstddef>
#include <cstring>
#include <string>

#include <QByteArrayView>

namespace Csv {

// How a file writes the decimal mark of its numbers, as a user chooses it:
// found from each column's values, or set for the whole file.
enum class DecimalMark : char { Auto, Point, Comma };

// How one column of one file writes numbers, once known:
// - Plain: "-1234.5", "1e3"; no thousands separators (a cell "1,234" is text);
// - Point: as Plain, and "1,234.5" or "1 234.5" (space, no-break or narrow
//   no-break space) group the digits before the point in threes;
// - Comma: "1234,5", "1.234,5", "1 234,5".
enum class NumberStyle : char { Plain, Point, Comma };

// How two cells are compared.
struct CellRules
{
    bool ignoreCase = false;  // full Unicode case folding (ß = ss)
    bool ignoreSpace = false; // blanks around a cell do not count; CR LF, CR, LF are one break
    bool numbers = false;     // cells that both read as numbers compare by value
    double tolerance = 0;     // with numbers: values this close count as equal
    // With numbers: how the first and the second cell given write them.
    // cellHash and normalisedCell read a cell as the first.
    NumberStyle style1 = NumberStyle::Plain;
    NumberStyle style2 = NumberStyle::Plain;

    // The rules with no tolerance: equality that a hash can agree with, for
    // keys and whole rows.
    CellRules exact() const
    {
        CellRules rules = *this;
        rules.tolerance = 0;
        return rules;
    }
    // The rules for two cells written in `first` and `second`.
    CellRules styled(NumberStyle first, NumberStyle second) const
    {
        CellRules rules = *this;
        rules.style1 = first;
        rules.style2 = second;
        return rules;
    }
    bool plain() const { return !ignoreCase && !ignoreSpace && !numbers; }
};

// The cell as exact rules see it: trimmed, its breaks made LF, case-folded,
// or a number's exact value (see exactNumber). A view of `cell`, or of
// `scratch` when something changed.
QByteArrayView normalisedCell(QByteArrayView cell, const CellRules &rules, std::string &scratch);

// The decimal number `cell` writes in `style`, in a form that two cells share
// exactly when their values are equal, however many digits they have: a byte
// that UTF-8 never holds, the sign, the power of ten (eight bytes) and the
// significant digits. False for anything else, "nan" and "inf" included, and
// for an exponent of more than 17 digits. Linear in the cell.
bool exactNumber(QByteArrayView cell, NumberStyle style, std::string &out);

// The value of a cell that reads as a decimal number ("-1.5e3", ".5", "1.");
// false for anything else, "nan" and "inf" included. Rounded to a double:
// for sorting and tolerances, never for equality.
bool numberValue(QByteArrayView cell, double &value);

// How a column writes numbers, from its values, given one at a time: Comma
// when some value reads only with a decimal comma ("24,77", "1.234,5") and
// none only with a point; Point when some value reads only with a point
// ("24.5", "1,234.5") and none only with a comma; Plain otherwise, so that a
// column of "1,234" alone, which reads either way, stays text.
class NumberStyleFinder
{
public:
    void add(QByteArrayView cell);
    // Both kinds seen: no later value changes the answer.
    bool settled() const { return m_point && m_comma; }
    NumberStyle style() const;

private:
    bool m_point = false;
    bool m_comma = false;
    std::string m_scratch;
};

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

// The style a user's choice gives a column, `detected` from its values.
inline NumberStyle chosenStyle(DecimalMark mark, NumberStyle detected)
{
    switch (mark) {
    case DecimalMark::Point:
        return NumberStyle::Point;
    case DecimalMark::Comma:
        return NumberStyle::Comma;
    case DecimalMark::Auto:
        break;
    }
    return detected;
}

// Folds the hash of the next cell of a row into `seed`.
inline size_t combineHash(size_t seed, size_t cell)
{
    return seed ^ (cell + 0x9E3779B97F4A7C15ULL + (seed << 6) + (seed >> 2));
}

} // namespace Csv
