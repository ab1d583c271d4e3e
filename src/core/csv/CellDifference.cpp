#include "csv/CellDifference.h"

#include <algorithm>

namespace Csv {

namespace {

bool continuationByte(char c)
{
    return (uchar(c) & 0xC0) == 0x80;
}

} // namespace

CellDifference cellDifference(QByteArrayView oldValue, QByteArrayView newValue)
{
    const qsizetype shorter = std::min(oldValue.size(), newValue.size());
    qsizetype start = 0;
    while (start < shorter && oldValue[start] == newValue[start])
        ++start;
    // Back to the start of the character the first difference is in.
    while (start > 0
           && ((start < oldValue.size() && continuationByte(oldValue[start]))
               || (start < newValue.size() && continuationByte(newValue[start]))))
        --start;
    qsizetype end = 0;
    while (end < shorter - start
           && oldValue[oldValue.size() - 1 - end] == newValue[newValue.size() - 1 - end])
        ++end;
    // The common end starts at a character's first byte in both.
    while (end > 0
           && (continuationByte(oldValue[oldValue.size() - end])
               || continuationByte(newValue[newValue.size() - end])))
        --end;
    return {start, oldValue.size() - start - end, newValue.size() - start - end};
}

} // namespace Csv
