#pragma once

#include <QString>

namespace Cli {

// --memory SIZE: how much memory a comparison of tables may use.

// The default: half the machine's memory (1 GiB when it cannot be told).
qint64 defaultMemory();

// SIZE as bytes: a whole number with an optional K, M, G or T (powers of
// 1024; "4G", "512M", "100000"); -1 when it is none of those.
qint64 parseMemorySize(const QString &text);

// A size as --help prints it: in the largest unit it holds, rounded down ("11G").
QString memorySizeText(qint64 bytes);

// Whether a comparison of files of these sizes is to be bounded (its files
// mapped, its rows split into parts on disk) rather than held in memory.
bool comparisonNeedsBound(qint64 bytes1, qint64 bytes2, qint64 memory);

// What a bounded comparison may hold beyond the program's own start-up.
qint64 comparisonBudget(qint64 memory);

} // namespace Cli
