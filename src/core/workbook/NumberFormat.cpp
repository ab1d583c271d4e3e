#include "workbook/NumberFormat.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include <QDate>

namespace Workbook {

namespace {

// The first section of a format code (the one for positive numbers) with
// quoted text, escaped characters and bracketed parts (colours, locales)
// taken out; elapsed-time brackets ([h], [mm], [ss]) are kept as letters.
QString plainSection(QStringView code, bool &elapsedHours)
{
    QString out;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code[i];
        if (c == u';')
            break;
        if (c == u'"') {
            const qsizetype end = code.indexOf(u'"', i + 1);
            i = end < 0 ? code.size() : end;
        } else if (c == u'\\' || c == u'_' || c == u'*') {
            ++i;
        } else if (c == u'[') {
            const qsizetype end = code.indexOf(u']', i + 1);
            const QStringView inside = code.mid(i + 1, end < 0 ? -1 : end - i - 1);
            const QString lower = inside.toString().toLower();
            if (!lower.isEmpty()
                && (lower.count(u'h') == lower.size() || lower.count(u'm') == lower.size()
                    || lower.count(u's') == lower.size())) {
                out += lower;
                elapsedHours = elapsedHours || lower.startsWith(u'h');
            }
            i = end < 0 ? code.size() : end;
        } else {
            out += c.toLower();
        }
    }
    return out;
}

int decimalsAfterPoint(const QString &section)
{
    const qsizetype point = section.indexOf(u'.');
    if (point < 0)
        return 0;
    int count = 0;
    for (qsizetype i = point + 1; i < section.size(); ++i) {
        const QChar c = section[i];
        if (c == u'0' || c == u'#' || c == u'?')
            ++count;
        else if (c != u',')
            break;
    }
    return count;
}

QString twoDigits(qint64 n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

// Up to 15 significant digits, no trailing zeros, exponent as "E+20".
QString general(double value)
{
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.15G", value);
    QString text = QString::fromLatin1(buffer);
    return text;
}

QString withThousands(QString digits)
{
    const qsizetype point = digits.indexOf(u'.');
    qsizetype end = point < 0 ? digits.size() : point;
    const qsizetype start = digits.startsWith(u'-') ? 1 : 0;
    for (qsizetype at = end - 3; at > start; at -= 3)
        digits.insert(at, u',');
    return digits;
}

// Rounded half away from zero, as spreadsheets show numbers: on the decimal
// the value was typed as (2.675 shows 2.68 though its double lies below).
QString fixed(double value, int decimals)
{
    decimals = std::min(decimals, 30);
    const double scale = std::pow(10.0, decimals);
    const double scaled = value * scale;
    if (std::fabs(scaled) < 1e15)
        value = std::round(scaled * (1 + 4 * std::numeric_limits<double>::epsilon())) / scale;
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    QString text = QString::fromLatin1(buffer);
    if (text.startsWith(u'-') && text.mid(1).count(u'0') + text.count(u'.') == text.size() - 1)
        text.remove(0, 1); // "-0.00" shows as "0.00"
    return text;
}

// The day after 9999-12-31, the last day shown as a date, in each system.
qint64 pastLastDay(DateSystem dates)
{
    return dates == DateSystem::From1904 ? 2957004 : 2958466;
}

// The 29th of February 1900, which the 1900 system counts but never was.
constexpr char kPhantomDay[] = "1900-02-29";

// The day of a serial day number; invalid for the phantom day.
QDate serialDay(qint64 days, DateSystem dates)
{
    if (dates == DateSystem::From1904)
        return QDate(1904, 1, 1).addDays(days);
    if (days == 60)
        return QDate();
    return QDate(1899, 12, 30).addDays(days < 60 ? days + 1 : days);
}

// A serial date and time: whole days from the system's day 0, the fraction
// the time of day.
QString dateTime(double serial, const NumberFormat &format, DateSystem dates)
{
    qint64 days = qint64(std::floor(serial));
    qint64 seconds = qint64(std::llround((serial - double(days)) * 86400.0));
    if (seconds >= 86400) {
        ++days;
        seconds -= 86400;
    }
    QString time;
    if (format.kind != NumberFormat::Kind::Date) {
        const qint64 hours = format.elapsedHours && format.kind == NumberFormat::Kind::Time
                                 ? days * 24 + seconds / 3600
                                 : seconds / 3600;
        time =
            twoDigits(hours) + u':' + twoDigits(seconds / 60 % 60) + u':' + twoDigits(seconds % 60);
    }
    if (format.kind == NumberFormat::Kind::Time)
        return time;
    const QDate day = serialDay(days, dates);
    const QString date =
        day.isValid() ? day.toString(Qt::ISODate) : QString::fromLatin1(kPhantomDay);
    return format.kind == NumberFormat::Kind::Date ? date : date + u' ' + time;
}

bool isInteger(QStringView value)
{
    const qsizetype start = value.startsWith(u'-') ? 1 : 0;
    if (value.size() == start || value.size() - start > 15)
        return false;
    for (qsizetype i = start; i < value.size(); ++i)
        if (value[i] < u'0' || value[i] > u'9')
            return false;
    return true;
}

} // namespace

NumberFormat NumberFormat::builtIn(int id)
{
    using K = Kind;
    switch (id) {
    case 1:
        return {K::Fixed, 0, false};
    case 2:
        return {K::Fixed, 2, false};
    case 3:
    case 37:
    case 38:
        return {K::Fixed, 0, true};
    case 4:
    case 39:
    case 40:
        return {K::Fixed, 2, true};
    case 9:
        return {K::Percent, 0};
    case 10:
        return {K::Percent, 2};
    case 11:
        return {K::Scientific, 2};
    case 48:
        return {K::Scientific, 1};
    case 14:
    case 15:
    case 16:
    case 17:
        return {K::Date};
    case 18:
    case 19:
    case 20:
    case 21:
    case 45:
    case 47:
        return {K::Time};
    case 46:
        return {K::Time, 0, false, true};
    case 22:
        return {K::DateTime};
    case 49:
        return {K::Text};
    default:
        return {};
    }
}

NumberFormat NumberFormat::fromCode(QStringView code)
{
    NumberFormat format;
    if (code.compare(u"General", Qt::CaseInsensitive) == 0)
        return format;
    if (code == u"@") {
        format.kind = Kind::Text;
        return format;
    }
    const QString section = plainSection(code, format.elapsedHours);
    const bool date =
        section.contains(u'y') || section.contains(u'd')
        || (section.contains(u'm') && !section.contains(u'h') && !section.contains(u's'));
    const bool time = section.contains(u'h') || section.contains(u's');
    if (date || time) {
        format.kind = date && time ? Kind::DateTime : date ? Kind::Date : Kind::Time;
        return format;
    }
    format.decimals = decimalsAfterPoint(section);
    if (section.contains(u'%'))
        format.kind = Kind::Percent;
    else if (section.contains(u"e+") || section.contains(u"e-"))
        format.kind = Kind::Scientific;
    else if (section.contains(u'0') || section.contains(u'#'))
        format.kind = Kind::Fixed;
    format.thousands = format.kind == Kind::Fixed && section.contains(u"#,#");
    if (format.kind == Kind::Fixed && !format.thousands)
        format.thousands = section.contains(u"0,0") || section.contains(u"#,0");
    return format;
}

QString formatNumber(QStringView value, const NumberFormat &format, DateSystem dates)
{
    if (format.kind == NumberFormat::Kind::Text)
        return value.toString();
    if (format.kind == NumberFormat::Kind::General && isInteger(value))
        return value.toString();
    const QByteArray latin = value.trimmed().toLatin1();
    double number = 0;
    const auto [end, error] =
        std::from_chars(latin.constData(), latin.constData() + latin.size(), number);
    if (error != std::errc() || end != latin.constData() + latin.size() || !std::isfinite(number))
        return value.toString();
    switch (format.kind) {
    case NumberFormat::Kind::Date:
    case NumberFormat::Kind::Time:
    case NumberFormat::Kind::DateTime:
        if (number >= 0 && number < double(pastLastDay(dates)))
            return dateTime(number, format, dates);
        return general(number);
    case NumberFormat::Kind::Percent:
        return fixed(number * 100, format.decimals) + u'%';
    case NumberFormat::Kind::Scientific: {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.*E", format.decimals, number);
        return QString::fromLatin1(buffer);
    }
    case NumberFormat::Kind::Fixed: {
        const QString text = fixed(number, format.decimals);
        return format.thousands ? withThousands(text) : text;
    }
    default:
        return general(number);
    }
}

bool formatWholeDay(QByteArrayView value, DateSystem dates, QByteArray &into)
{
    if (value.isEmpty() || value.size() > 7)
        return false;
    qint64 days = 0;
    for (const char c : value) {
        if (c < '0' || c > '9')
            return false;
        days = days * 10 + (c - '0');
    }
    if (days >= pastLastDay(dates))
        return false;
    const QDate day = serialDay(days, dates);
    if (!day.isValid()) {
        into = kPhantomDay;
        return true;
    }
    into.resize(10);
    char *out = into.data();
    const auto put = [&](int n, int digits) {
        for (int i = digits - 1; i >= 0; --i, n /= 10)
            out[i] = char('0' + n % 10);
        out += digits;
    };
    put(day.year(), 4);
    *out++ = '-';
    put(day.month(), 2);
    *out++ = '-';
    put(day.day(), 2);
    return true;
}

bool generalShowsAsWritten(QByteArrayView value)
{
    const auto digitsFrom = [&](qsizetype at) {
        qsizetype end = at;
        while (end < value.size() && value[end] >= '0' && value[end] <= '9')
            ++end;
        return end - at;
    };
    const qsizetype start = value.startsWith('-') ? 1 : 0;
    const qsizetype whole = digitsFrom(start);
    if (whole == 0 || whole > 15)
        return false;
    const qsizetype point = start + whole;
    if (point == value.size())
        return true;
    const qsizetype fraction = digitsFrom(point + 1);
    if (value[point] != '.' || fraction == 0 || point + 1 + fraction != value.size()
        || value.back() == '0' || (whole > 1 && value[start] == '0'))
        return false;
    if (value[start] != '0')
        return whole + fraction <= 15;
    // "0.000123": zeros after the point are no significant digits, but past
    // three of them the general format turns to an exponent.
    qsizetype zeros = 0;
    while (value[point + 1 + zeros] == '0')
        ++zeros;
    return zeros <= 3 && fraction - zeros <= 15;
}

} // namespace Workbook
