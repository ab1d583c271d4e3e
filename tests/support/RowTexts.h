#pragma once

// Two CSV texts compared as the program compares two files: each read as a
// table (at once, as the CLI reads them), then the tables compared, within
// `budget` when one is given.

#include <future>

#include "csv/RowComparison.h"
#include "csv/SpilledComparison.h"

namespace TestRows {

inline Csv::RowComparison compareTexts(QByteArray text1, QByteArray text2,
                                       const Csv::RowOptions &options, char delimiter = 0,
                                       const Csv::MemoryBudget *budget = nullptr)
{
    Csv::ReadResult read1;
    Csv::ReadResult read2;
    try {
        if (options.control)
            options.control->start(Csv::WorkPhase::Reading, text1.size() + text2.size());
        auto reading2 = std::async(std::launch::async, [&] {
            return Csv::readCsv(std::move(text2), delimiter, options.control);
        });
        read1 = Csv::readCsv(std::move(text1), delimiter, options.control);
        read2 = reading2.get();
    } catch (const Csv::WorkCancelled &) {
        Csv::RowComparison stopped;
        stopped.cancelled = true;
        stopped.error = {0, 0, QStringLiteral("the comparison was cancelled")};
        return stopped;
    }
    for (const auto &[file, read] : {std::pair{1, &read1}, std::pair{2, &read2}}) {
        if (!read->ok()) {
            Csv::RowComparison failed;
            failed.error = {file, read->error.line, read->error.message};
            return failed;
        }
    }
    auto table1 = std::make_shared<const Csv::Table>(std::move(read1.table));
    auto table2 = std::make_shared<const Csv::Table>(std::move(read2.table));
    if (budget)
        return Csv::compareTablesWithin(std::move(table1), std::move(table2), options, *budget);
    return Csv::compareTables(std::move(table1), std::move(table2), options);
}

} // namespace TestRows
