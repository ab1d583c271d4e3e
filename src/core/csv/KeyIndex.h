#pragma once

#include <memory>
#include <vector>

#include <QtGlobal>

#include "csv/CellRules.h"
#include "csv/CsvReader.h"
#include "csv/RowIndex.h"

namespace Csv {

// File 1's rows grouped by key, kept between comparisons by a caller that
// compares one file 1 again and again (the table window, when file 2 changed
// on disk or Compare is pressed again): a comparison by key that is given one
// uses it as it stands when it was made for the same table, rows, key
// columns and rules, and otherwise makes it anew. At ten million rows that
// is most of a second saved, for the 160 MB the index holds meanwhile.
class KeyIndex
{
public:
    // What the index groups by: file 1's key columns (its own positions),
    // how each writes numbers, and the rules of the comparison.
    struct Basis
    {
        std::vector<qint64> columns;
        std::vector<NumberStyle> styles;
        bool ignoreCase = false;
        bool ignoreSpace = false;
        bool numbers = false;
        qint32 first = 0; // rows before it are not grouped (the header)
        bool operator==(const Basis &) const = default;
    };
    static Basis basisOf(std::vector<qint64> columns, std::vector<NumberStyle> styles,
                         const CellRules &rules, qint32 first)
    {
        return {std::move(columns), std::move(styles), rules.ignoreCase,
                rules.ignoreSpace,  rules.numbers,     first};
    }

    // Whether the index stands for `table`'s rows on `basis`.
    bool fits(const std::shared_ptr<const Table> &table, const Basis &basis) const
    {
        return m_made && m_table.lock() == table && m_basis == basis;
    }
    // The index, to be made anew: it stands for nothing until madeFor().
    RowIndex &remake()
    {
        m_made = false;
        m_index.clear();
        return m_index;
    }
    // The index as it stands, its comparison's marks cleared.
    RowIndex &reuse()
    {
        m_index.clearMarks();
        return m_index;
    }
    // The index just made stands for `table`'s rows on `basis`.
    void madeFor(const std::shared_ptr<const Table> &table, Basis basis)
    {
        m_table = table;
        m_basis = std::move(basis);
        m_made = true;
        ++m_timesMade;
    }
    // How many times the index was made.
    int timesMade() const { return m_timesMade; }

private:
    std::weak_ptr<const Table> m_table;
    Basis m_basis;
    RowIndex m_index;
    bool m_made = false;
    int m_timesMade = 0;
};

} // namespace Csv
