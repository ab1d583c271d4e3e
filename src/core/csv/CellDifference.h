#pragma once

#include <QByteArrayView>

namespace Csv {

// Where two cells differ: their common start and end left out, in bytes of
// each (start, length). Never splits a UTF-8 character; linear in the cells'
// size. The reports mark the middle as the characters that changed.
struct CellDifference
{
    qsizetype start = 0;
    qsizetype oldLength = 0;
    qsizetype newLength = 0;
};
CellDifference cellDifference(QByteArrayView oldValue, QByteArrayView newValue);

} // namespace Csv
