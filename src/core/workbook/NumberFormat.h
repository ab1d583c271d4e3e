#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace Workbook {

// How a number is shown, as far as a comparison needs: dates and times in
// ISO 8601 (a space between date and time), percentages, a fixed count of
// decimals with or without thousands separators, scientific notation, and
// "General" (up to 15 significant digits, integers without ".0").
struct NumberFormat
{
    enum class Kind { General, Text, Fixed, Percent, Scientific, Date, Time, DateTime };
    Kind kind = Kind::General;
    int decimals = 0;
    bool thousands = false;
    bool elapsedHours = false; // [h]: a time past 24 hours keeps its hours

    // The format of a built-in format number, or of a format's code.
    static NumberFormat builtIn(int id);
    static NumberFormat fromCode(QStringView code);
};

// The date system of a workbook: day 1 is 1900-01-01 (with the phantom
// 1900-02-29 spreadsheets keep) or 1904-01-02.
enum class DateSystem { From1900, From1904 };

// `value`, a number as a sheet stores it, as `format` shows it; the text as
// it is when it is no number.
QString formatNumber(QStringView value, const NumberFormat &format, DateSystem dates);

// formatNumber() of a whole day number (digits only) in a date format, into
// `into` as UTF-8 with no QString between: a date column's every cell. False
// when `value` is no such number.
bool formatWholeDay(QByteArrayView value, DateSystem dates, QByteArray &into);

// Whether the general format shows `value` (ASCII) exactly as it is written,
// so that a reader may take it as it is: an integer of up to 15 digits, or a
// decimal in its shortest form, of up to 15 significant digits and not so
// small that it would show with an exponent.
bool generalShowsAsWritten(QByteArrayView value);

} // namespace Workbook
