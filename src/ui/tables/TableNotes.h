#pragma once

#include <QStringList>

#include "csv/RowComparison.h"

namespace Tables {

// What the comparison says besides its rows, as the text report says it:
// columns only one file has, columns in another order, duplicate keys and
// ragged rows with their lines; at most `limit` of them.
QStringList notesOf(const Csv::RowComparison &comparison, const QString &name1,
                    const QString &name2, qsizetype limit = 1000);

} // namespace Tables
