#include "csv/FullCaseFolding.h"

#include <algorithm>
#include <iterator>

namespace Csv {

namespace {

struct Expansion
{
    char16_t from;
    const char16_t *to;
};

// CaseFolding.txt's status F entries (Unicode 15.0): every one both starts
// and ends in the Basic Multilingual Plane. Sorted by `from`.
constexpr Expansion kExpansions[] = {
    {0x00DF, u"\u0073\u0073"},       {0x0130, u"\u0069\u0307"},
    {0x0149, u"\u02BC\u006E"},       {0x01F0, u"\u006A\u030C"},
    {0x0390, u"\u03B9\u0308\u0301"}, {0x03B0, u"\u03C5\u0308\u0301"},
    {0x0587, u"\u0565\u0582"},       {0x1E96, u"\u0068\u0331"},
    {0x1E97, u"\u0074\u0308"},       {0x1E98, u"\u0077\u030A"},
    {0x1E99, u"\u0079\u030A"},       {0x1E9A, u"\u0061\u02BE"},
    {0x1E9E, u"\u0073\u0073"},       {0x1F50, u"\u03C5\u0313"},
    {0x1F52, u"\u03C5\u0313\u0300"}, {0x1F54, u"\u03C5\u0313\u0301"},
    {0x1F56, u"\u03C5\u0313\u0342"}, {0x1F80, u"\u1F00\u03B9"},
    {0x1F81, u"\u1F01\u03B9"},       {0x1F82, u"\u1F02\u03B9"},
    {0x1F83, u"\u1F03\u03B9"},       {0x1F84, u"\u1F04\u03B9"},
    {0x1F85, u"\u1F05\u03B9"},       {0x1F86, u"\u1F06\u03B9"},
    {0x1F87, u"\u1F07\u03B9"},       {0x1F88, u"\u1F00\u03B9"},
    {0x1F89, u"\u1F01\u03B9"},       {0x1F8A, u"\u1F02\u03B9"},
    {0x1F8B, u"\u1F03\u03B9"},       {0x1F8C, u"\u1F04\u03B9"},
    {0x1F8D, u"\u1F05\u03B9"},       {0x1F8E, u"\u1F06\u03B9"},
    {0x1F8F, u"\u1F07\u03B9"},       {0x1F90, u"\u1F20\u03B9"},
    {0x1F91, u"\u1F21\u03B9"},       {0x1F92, u"\u1F22\u03B9"},
    {0x1F93, u"\u1F23\u03B9"},       {0x1F94, u"\u1F24\u03B9"},
    {0x1F95, u"\u1F25\u03B9"},       {0x1F96, u"\u1F26\u03B9"},
    {0x1F97, u"\u1F27\u03B9"},       {0x1F98, u"\u1F20\u03B9"},
    {0x1F99, u"\u1F21\u03B9"},       {0x1F9A, u"\u1F22\u03B9"},
    {0x1F9B, u"\u1F23\u03B9"},       {0x1F9C, u"\u1F24\u03B9"},
    {0x1F9D, u"\u1F25\u03B9"},       {0x1F9E, u"\u1F26\u03B9"},
    {0x1F9F, u"\u1F27\u03B9"},       {0x1FA0, u"\u1F60\u03B9"},
    {0x1FA1, u"\u1F61\u03B9"},       {0x1FA2, u"\u1F62\u03B9"},
    {0x1FA3, u"\u1F63\u03B9"},       {0x1FA4, u"\u1F64\u03B9"},
    {0x1FA5, u"\u1F65\u03B9"},       {0x1FA6, u"\u1F66\u03B9"},
    {0x1FA7, u"\u1F67\u03B9"},       {0x1FA8, u"\u1F60\u03B9"},
    {0x1FA9, u"\u1F61\u03B9"},       {0x1FAA, u"\u1F62\u03B9"},
    {0x1FAB, u"\u1F63\u03B9"},       {0x1FAC, u"\u1F64\u03B9"},
    {0x1FAD, u"\u1F65\u03B9"},       {0x1FAE, u"\u1F66\u03B9"},
    {0x1FAF, u"\u1F67\u03B9"},       {0x1FB2, u"\u1F70\u03B9"},
    {0x1FB3, u"\u03B1\u03B9"},       {0x1FB4, u"\u03AC\u03B9"},
    {0x1FB6, u"\u03B1\u0342"},       {0x1FB7, u"\u03B1\u0342\u03B9"},
    {0x1FBC, u"\u03B1\u03B9"},       {0x1FC2, u"\u1F74\u03B9"},
    {0x1FC3, u"\u03B7\u03B9"},       {0x1FC4, u"\u03AE\u03B9"},
    {0x1FC6, u"\u03B7\u0342"},       {0x1FC7, u"\u03B7\u0342\u03B9"},
    {0x1FCC, u"\u03B7\u03B9"},       {0x1FD2, u"\u03B9\u0308\u0300"},
    {0x1FD3, u"\u03B9\u0308\u0301"}, {0x1FD6, u"\u03B9\u0342"},
    {0x1FD7, u"\u03B9\u0308\u0342"}, {0x1FE2, u"\u03C5\u0308\u0300"},
    {0x1FE3, u"\u03C5\u0308\u0301"}, {0x1FE4, u"\u03C1\u0313"},
    {0x1FE6, u"\u03C5\u0342"},       {0x1FE7, u"\u03C5\u0308\u0342"},
    {0x1FF2, u"\u1F7C\u03B9"},       {0x1FF3, u"\u03C9\u03B9"},
    {0x1FF4, u"\u03CE\u03B9"},       {0x1FF6, u"\u03C9\u0342"},
    {0x1FF7, u"\u03C9\u0342\u03B9"}, {0x1FFC, u"\u03C9\u03B9"},
    {0xFB00, u"\u0066\u0066"},       {0xFB01, u"\u0066\u0069"},
    {0xFB02, u"\u0066\u006C"},       {0xFB03, u"\u0066\u0066\u0069"},
    {0xFB04, u"\u0066\u0066\u006C"}, {0xFB05, u"\u0073\u0074"},
    {0xFB06, u"\u0073\u0074"},       {0xFB13, u"\u0574\u0576"},
    {0xFB14, u"\u0574\u0565"},       {0xFB15, u"\u0574\u056B"},
    {0xFB16, u"\u057E\u0576"},       {0xFB17, u"\u0574\u056D"},
};

const char16_t *expansionOf(char32_t c)
{
    if (c > 0xFFFF)
        return nullptr;
    const auto *end = std::end(kExpansions);
    const auto *at = std::lower_bound(std::begin(kExpansions), end, c,
                                      [](const Expansion &e, char32_t v) { return e.from < v; });
    return at != end && at->from == c ? at->to : nullptr;
}

} // namespace

QString fullCaseFolded(QStringView text)
{
    QString folded;
    folded.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i].unicode(), text[i + 1].unicode());
            ++i;
        }
        if (const char16_t *expansion = expansionOf(c)) {
            folded += QStringView(expansion);
            continue;
        }
        const char32_t simple = QChar::toCaseFolded(c);
        if (QChar::requiresSurrogates(simple)) {
            folded += QChar(QChar::highSurrogate(simple));
            folded += QChar(QChar::lowSurrogate(simple));
        } else {
            folded += QChar(char16_t(simple));
        }
    }
    return folded;
}

} // namespace Csv
