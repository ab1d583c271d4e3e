#pragma once

#include <array>
#include <atomic>
#include <vector>

#include <QString>

#include "tables/TableRows.h"

namespace Tables {

// What the table shows of a result. Every filter, find and sort goes
// through visibleRows(), on a worker thread for a large table.
struct RowFilter
{
    std::array<bool, kStatusCount> shown{{true, true, true, false, true}};
    QString find;               // in any cell the row shows, ignoring ASCII case
    qsizetype changedIn = -1;   // a mapping column: only rows changed in it
    qsizetype valueColumn = -1; // a mapping column whose cell must match `value`
    QString value;
    bool valueEquals = false; // the whole cell, or a part of it ignoring ASCII case
    int sortColumn = -1;      // a display column; -1: the comparison's order
    bool descending = false;

    bool operator==(const RowFilter &) const = default;
};

// The rows (indices into data.rows) that pass `filter`, in its order. When
// `stop` turns true the work ends early and its answer means nothing.
std::vector<qint32> visibleRows(const TableData &data, const RowFilter &filter,
                                const std::atomic_bool *stop = nullptr);

// The rows of the statuses the filter shows, before any other filter: what
// a find counts its matches against.
qsizetype rowsOfShownStatuses(const TableData &data, const RowFilter &filter);

} // namespace Tables
