#include "csv/CellRules.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "engine/LineHash.h"

// Windows has no ICU of its own before Windows 10 (nor has Wine): there the
// table of FullCaseFolding.h gives the same folding.
#ifdef Q_OS_WIN
#include "csv/FullCaseFolding.h"
#else
#include <unicode/uchar.h>
#include <unicode/ustring.h>
#endif

namespace Csv {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

QByteArrayView trimmed(QByteArrayView cell)
{
    qsizetype begin = 0;
    qsizetype end = cell.size();
    while (begin < end && isBlank(cell[begin]))
        ++begin;
    while (end > begin && isBlank(cell[end - 1]))
        --end;
    return cell.sliced(begin, end - begin);
}

// CR LF and a lone CR written as LF.
void oneKindOfBreak(QByteArrayView cell, std::string &out)
{
    out.clear();
    for (qsizetype i = 0; i < cell.size(); ++i) {
        if (cell[i] == '\r') {
            out.push_back('\n');
            if (i + 1 < cell.size() && cell[i + 1] == '\n')
                ++i;
        } else {
            out.push_back(cell[i]);
        }
    }
}

// Full case folding; the ASCII cells that most tables hold never reach ICU.
void caseFolded(QByteArrayView cell, std::string &out)
{
    bool ascii = true;
    for (const char c : cell)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) {
        out.assign(cell.data(), size_t(cell.size()));
        for (char &c : out)
            c = (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
        return;
    }
#ifdef Q_OS_WIN
    const QByteArray folded = fullCaseFolded(QString::fromUtf8(cell)).toUtf8();
    out.assign(folded.constData(), size_t(folded.size()));
#else
    UErrorCode status = U_ZERO_ERROR;
    int32_t units = 0;
    std::vector<UChar> text(size_t(cell.size()) + 1);
    u_strFromUTF8Lenient(text.data(), int32_t(text.size()), &units, cell.data(),
                         int32_t(cell.size()), &status);
    // Folding can lengthen a text up to three times (ß → ss, ΐ → three).
    std::vector<UChar> folded(size_t(units) * 3 + 1);
    status = U_ZERO_ERROR;
    const int32_t foldedUnits = u_strFoldCase(folded.data(), int32_t(folded.size()), text.data(),
                                              units, U_FOLD_CASE_DEFAULT, &status);
    out.resize(size_t(foldedUnits) * 3 + 1);
    int32_t bytes = 0;
    status = U_ZERO_ERROR;
    u_strToUTF8(out.data(), int32_t(out.size()), &bytes, folded.data(), foldedUnits, &status);
    out.resize(U_SUCCESS(status) ? size_t(bytes) : 0);
#endif
}

} // namespace

namespace {

// A thousands separator at `p` other than `mark`'s: its length, or 0.
qsizetype groupSeparator(const char *p, const char *end, NumberStyle style)
{
    const char other = style == NumberStyle::Comma ? '.' : ',';
    if (*p == other || *p == ' ')
        return 1;
    if (end - p >= 2 && p[0] == '\xC2' && p[1] == '\xA0') // no-break space
        return 2;
    if (end - p >= 3 && p[0] == '\xE2' && p[1] == '\x80' && p[2] == '\xAF') // narrow
        return 3;
    return 0;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The digits before the decimal mark, into `digits`: all of them, or, in a
// style with separators, groups of three after a first group of one to three,
// one separator throughout. Returns where they end, or nullptr.
const char *integerDigits(const char *p, const char *end, NumberStyle style, std::string &digits)
{
    const char *groupStart = p;
    while (p < end && isDigit(*p))
        digits.push_back(*p++);
    if (style == NumberStyle::Plain || p == end || p == groupStart || p - groupStart > 3)
        return p;
    const qsizetype length = groupSeparator(p, end, style);
    if (length == 0)
        return p;
    const QByteArrayView separator(p, length);
    while (p < end && QByteArrayView(p, std::min<qsizetype>(length, end - p)) == separator) {
        p += length;
        for (int i = 0; i < 3; ++i) {
            if (p == end || !isDigit(*p))
                return nullptr;
            digits.push_back(*p++);
        }
    }
    return p < end && isDigit(*p) ? nullptr : p;
}

} // namespace

bool exactNumber(QByteArrayView cell, NumberStyle style, std::string &out)
{
    const char *p = cell.data();
    const char *end = p + cell.size();
    const char mark = style == NumberStyle::Comma ? ',' : '.';
    // Most text is told apart by its first byte, before anything is written.
    if (p == end || !(isDigit(*p) || *p == '+' || *p == '-' || *p == mark))
        return false;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-'))
        negative = *p++ == '-';
    std::string &digits = out; // the significant digits are gathered in place
    digits.assign(1 + 1 + 8, '\0');
    const char *stop = integerDigits(p, end, style, digits);
    if (!stop)
        return false;
    qint64 point = qint64(digits.size()) - 10; // digits before the mark
    p = stop;
    if (p < end && *p == mark) {
        for (++p; p < end && isDigit(*p); ++p)
            digits.push_back(*p);
    }
    if (digits.size() == 10)
        return false; // no digit at all
    qint64 exponent = 0;
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        bool negativeExponent = false;
        if (p < end && (*p == '+' || *p == '-'))
            negativeExponent = *p++ == '-';
        const char *exponentStart = p;
        while (p < end && *p == '0')
            ++p;
        int length = 0;
        for (; p < end && isDigit(*p); ++p, ++length) {
            if (length == 17)
                return false; // a power no text could write out
            exponent = exponent * 10 + (*p - '0');
        }
        if (p == exponentStart)
            return false; // "1e", "1e+"
        if (negativeExponent)
            exponent = -exponent;
    }
    if (p != end)
        return false;
    // 0.DIGITS × 10^power, with no zero at either end of the digits.
    size_t first = 10;
    while (first < digits.size() && digits[first] == '0')
        ++first;
    size_t last = digits.size();
    while (last > first && digits[last - 1] == '0')
        --last;
    if (first == last) { // zero, whatever its sign
        out.assign(1, '\xFF');
        out.push_back('0');
        return true;
    }
    const qint64 power = point - qint64(first - 10) + exponent;
    digits.resize(last);
    digits.erase(10, first - 10);
    digits[0] = '\xFF';
    digits[1] = negative ? '-' : '+';
    std::memcpy(digits.data() + 2, &power, sizeof power);
    return true;
}

void NumberStyleFinder::add(QByteArrayView cell)
{
    cell = trimmed(cell);
    // Most cells hold no mark at all and say nothing either way.
    bool marked = false;
    for (const char c : cell)
        marked = marked || c == ',' || c == '.';
    if (!marked)
        return;
    const bool asPoint = exactNumber(cell, NumberStyle::Point, m_scratch);
    const bool asComma = exactNumber(cell, NumberStyle::Comma, m_scratch);
    m_point = m_point || (asPoint && !asComma);
    m_comma = m_comma || (asComma && !asPoint);
}

NumberStyle NumberStyleFinder::style() const
{
    if (m_comma && !m_point)
        return NumberStyle::Comma;
    if (m_point && !m_comma)
        return NumberStyle::Point;
    return NumberStyle::Plain;
}

bool numberValue(QByteArrayView cell, double &value)
{
    const char *p = cell.data();
    const char *end = p + cell.size();
    if (p < end && *p == '+')
        ++p; // from_chars takes '-' only
    if (p == end || !(std::isdigit(static_cast<unsigned char>(*p)) || *p == '-' || *p == '.'))
        return false;
    const auto [stop, error] = std::from_chars(p, end, value, std::chars_format::general);
    if (error != std::errc() || stop != end || !std::isfinite(value))
        return false;
    if (value == 0)
        value = 0; // -0 and 0 are one value
    return true;
}

namespace {

// A number as exactNumber writes it, rounded to a double; false when it is
// too large for one.
bool doubleOf(const std::string &exact, double &value)
{
    if (exact.size() == 2) {
        value = 0;
        return true;
    }
    qint64 power = 0;
    std::memcpy(&power, exact.data() + 2, sizeof power);
    std::string text(exact[1] == '-' ? "-0." : "0.");
    text.append(exact, 10);
    text += 'e';
    text += std::to_string(power);
    const std::errc error =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general)
            .ec;
    if (error == std::errc::result_out_of_range && power < 0) {
        value = 0; // too small to tell from zero
        return true;
    }
    return error == std::errc() && std::isfinite(value);
}

} // namespace

QByteArrayView normalisedCell(QByteArrayView cell, const CellRules &rules, std::string &scratch)
{
    if (rules.ignoreSpace) {
        cell = trimmed(cell);
        if (cell.contains('\r')) {
            oneKindOfBreak(cell, scratch);
            cell = QByteArrayView(scratch.data(), qsizetype(scratch.size()));
        }
    }
    // A cell already in `scratch` holds a line break: no number.
    const bool inScratch = cell.data() == scratch.data() && !cell.isEmpty();
    if (rules.numbers && !inScratch && exactNumber(cell, rules.style1, scratch))
        return QByteArrayView(scratch.data(), qsizetype(scratch.size()));
    if (rules.ignoreCase) {
        std::string folded;
        caseFolded(cell, folded);
        scratch = std::move(folded);
        return QByteArrayView(scratch.data(), qsizetype(scratch.size()));
    }
    return cell;
}

bool normalisedCellsEqual(QByteArrayView a, QByteArrayView b, const CellRules &rules)
{
    if (rules.numbers && rules.tolerance > 0) {
        const QByteArrayView trimmedA = rules.ignoreSpace ? trimmed(a) : a;
        const QByteArrayView trimmedB = rules.ignoreSpace ? trimmed(b) : b;
        // Kept from call to call: a table's numbers are mostly longer than
        // a string holds without an allocation.
        thread_local std::string exactA;
        thread_local std::string exactB;
        double x = 0;
        double y = 0;
        if (exactNumber(trimmedA, rules.style1, exactA)
            && exactNumber(trimmedB, rules.style2, exactB)) {
            if (exactA == exactB)
                return true;
            if (!doubleOf(exactA, x) || !doubleOf(exactB, y))
                return false;
            // A hair over the tolerance, so that 1.1 and 1.0 are within 0.1.
            return std::fabs(x - y)
                   <= rules.tolerance * (1 + 1e-12) + 1e-15 * std::max(std::fabs(x), std::fabs(y));
        }
    }
    thread_local std::string scratchA;
    thread_local std::string scratchB;
    CellRules second = rules;
    second.style1 = rules.style2;
    return normalisedCell(a, rules, scratchA) == normalisedCell(b, second, scratchB);
}

size_t cellHash(QByteArrayView cell, const CellRules &rules)
{
    static const std::uint64_t seed = Compare::LineHash::prepareSeed(0x5EED);
    if (rules.plain())
        return Compare::LineHash::hash(cell.data(), size_t(cell.size()), seed);
    thread_local std::string scratch;
    const QByteArrayView normalised = normalisedCell(cell, rules, scratch);
    return Compare::LineHash::hash(normalised.data(), size_t(normalised.size()), seed);
}

} // namespace Csv
