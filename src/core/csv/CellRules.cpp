#include "csv/CellRules.h"

#include <algorithm>
#include <charconv>
#include <cmath>
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

QByteArrayView normalisedCell(QByteArrayView cell, const CellRules &rules, std::string &scratch)
{
    if (rules.ignoreSpace) {
        cell = trimmed(cell);
        if (cell.contains('\r')) {
            oneKindOfBreak(cell, scratch);
            cell = QByteArrayView(scratch.data(), qsizetype(scratch.size()));
        }
    }
    double value = 0;
    if (rules.numbers && numberValue(cell, value)) {
        scratch.assign(1, '\xFF');
        scratch.append(reinterpret_cast<const char *>(&value), sizeof value);
        return QByteArrayView(scratch.data(), qsizetype(scratch.size()));
    }
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
        double x = 0;
        double y = 0;
        if (numberValue(trimmedA, x) && numberValue(trimmedB, y))
            // A hair over the tolerance, so that 1.1 and 1.0 are within 0.1.
            return std::fabs(x - y)
                   <= rules.tolerance * (1 + 1e-12) + 1e-15 * std::max(std::fabs(x), std::fabs(y));
    }
    std::string scratchA;
    std::string scratchB;
    return normalisedCell(a, rules, scratchA) == normalisedCell(b, rules, scratchB);
}

size_t cellHash(QByteArrayView cell, const CellRules &rules)
{
    static const std::uint64_t seed = Compare::LineHash::prepareSeed(0x5EED);
    if (rules.plain())
        return Compare::LineHash::hash(cell.data(), size_t(cell.size()), seed);
    std::string scratch;
    const QByteArrayView normalised = normalisedCell(cell, rules, scratch);
    return Compare::LineHash::hash(normalised.data(), size_t(normalised.size()), seed);
}

} // namespace Csv
