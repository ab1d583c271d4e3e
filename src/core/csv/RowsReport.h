#pragma once

#include <functional>
#include <optional>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include "csv/CellRules.h"
#include "csv/WorkControl.h"

namespace Csv {

struct RowComparison;

enum class ReportFormat { Text, Csv, Json, Html, Xlsx };

// Where a report goes, a piece at a time; false when the rest cannot be
// written (a closed pipe, a full disk): writing stops there.
using ReportSink = std::function<bool(QByteArrayView)>;

struct ReportOptions
{
    // The files as the report names them. An unpaired surrogate U+DC80..U+DCFF
    // stands for a byte of a name that was not UTF-8 and prints as "\xE9".
    QString name1;
    QString name2;
    bool colour = false;  // text: removed red, added green, changed cells yellow
    bool heading = false; // text and csv open with the files' names (one report of many)
    // The rules the cells were compared by, for the reports that state the
    // options (html, xlsx); unset, they state only what the comparison holds.
    std::optional<CellRules> rules = std::nullopt;
    // Follows the writing (phase Writing, by findings) and stops it: once
    // cancelled, no further byte reaches the sink and writeReport returns
    // false. Null: neither. Text, csv and json reports.
    WorkControl *control = nullptr;
};

// The comparison written out for a person (text: one finding a line, every
// control character and invisible character escaped), a spreadsheet (csv: one
// line a finding, its status "-", "+", "~", "!" (a row of a duplicate key) or
// "#" (a note), its lines, the cells, each changed cell's old value, the
// changed columns and the note) or a program (json), in UTF-8, as a stream.
// Columns stand in the order displayOrder gives. False when the sink gave up.
bool writeReport(const RowComparison &comparison, ReportFormat format, const ReportOptions &options,
                 const ReportSink &sink);

// The whole report in memory: for small results and tests.
QByteArray formatReport(const RowComparison &comparison, ReportFormat format, const QString &name1,
                        const QString &name2);

// "3 removed, 5 added, 12 changed (of 1,000,000 / 1,000,002 rows)"
QString summaryLine(const RowComparison &comparison);

// 1234567 as "1,234,567".
QString withThousands(qsizetype number);

// A value as the text report prints it: control characters, line breaks,
// backslashes and invisible or format characters escaped ("\n", "\x1b",
// "\u00a0"); with `everyNonAscii`, every character past ASCII too.
QByteArray escapedForText(QByteArrayView value, bool everyNonAscii = false);

// A file name (or any text a person reads on a terminal) as the text report
// prints it: escaped as escapedForText() does, and each byte of a name that
// was not UTF-8 (see base/ArgumentText.h) as "\xE9".
QByteArray escapedName(const QString &name);

// Characters that print as nothing, or as a blank that is not a space, which
// the reports write as escapes.
bool invisibleCharacter(char32_t c);

} // namespace Csv
