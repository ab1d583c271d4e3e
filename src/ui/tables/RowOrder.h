#pragma once

#include <vector>

#include <QtGlobal>

namespace Tables {

struct TableData;

// `visible` sorted by a display column: numbers by value before text, text
// by its bytes; ties keep their order. Descending turns the order round,
// ties still in theirs.
void sortRows(const TableData &data, std::vector<qint32> &visible, int displayColumn,
              bool descending);

} // namespace Tables
