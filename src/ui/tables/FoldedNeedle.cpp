#include "tables/FoldedNeedle.h"

#include <algorithm>
#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Tables {

namespace {

uchar lowerAscii(uchar c)
{
    return (c >= 'A' && c <= 'Z') ? uchar(c + 32) : c;
}

bool isLowerLetter(uchar c)
{
    return c >= 'a' && c <= 'z';
}

#if defined(__SSE2__)
// The places among 16 whose byte is `c` in either case. `c` is in lower
// case; only a letter has a second case, so setting bit 5 (which makes an
// upper-case letter lower) is done only for letters.
class FoldedByte
{
public:
    explicit FoldedByte(uchar c)
        : m_byte(_mm_set1_epi8(char(c))), m_caseBit(_mm_set1_epi8(isLowerLetter(c) ? 0x20 : 0))
    {
    }

    __m128i at(const uchar *p) const
    {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        return _mm_cmpeq_epi8(_mm_or_si128(bytes, m_caseBit), m_byte);
    }

private:
    __m128i m_byte;
    __m128i m_caseBit;
};
#endif

} // namespace

FoldedNeedle::FoldedNeedle(const QByteArray &text) : m_needle(text.toLower())
{
    const qsizetype m = m_needle.size();
    std::array<qsizetype, 256> skipOfFolded;
    skipOfFolded.fill(std::max<qsizetype>(m, 1));
    for (qsizetype i = 0; i + 1 < m; ++i)
        skipOfFolded[uchar(m_needle[i])] = m - 1 - i;
    for (int c = 0; c < 256; ++c) {
        m_fold[size_t(c)] = lowerAscii(uchar(c));
        m_skip[size_t(c)] = skipOfFolded[m_fold[size_t(c)]];
    }
}

bool FoldedNeedle::matchesAt(const uchar *at) const
{
    const auto *needle = reinterpret_cast<const uchar *>(m_needle.constData());
    for (qsizetype k = 0; k < m_needle.size(); ++k) {
        if (m_fold[at[k]] != needle[k])
            return false;
    }
    return true;
}

// Horspool's search from `from`: the byte under the window's end says how
// far the window may move. Returns where the needle starts, or -1.
qsizetype FoldedNeedle::scalarFind(const uchar *hay, qsizetype from, qsizetype size) const
{
    const qsizetype m = m_needle.size();
    const uchar last = uchar(m_needle[m - 1]);
    for (qsizetype at = from; at + m <= size; at += m_skip[hay[at + m - 1]]) {
        if (m_fold[hay[at + m - 1]] == last && matchesAt(hay + at))
            return at;
    }
    return -1;
}

bool FoldedNeedle::in(QByteArrayView haystack) const
{
    const qsizetype m = m_needle.size();
    if (m == 0)
        return true;
    const auto *hay = reinterpret_cast<const uchar *>(haystack.data());
    const qsizetype size = haystack.size();
    qsizetype at = 0;
#if defined(__SSE2__)
    const FoldedByte first{uchar(m_needle[0])};
    const FoldedByte last{uchar(m_needle[m - 1])};
    // Each block reads 16 bytes from `at` and 16 from `at + m - 1`.
    for (; at + m - 1 + 16 <= size; at += 16) {
        const __m128i both = _mm_and_si128(first.at(hay + at), last.at(hay + at + m - 1));
        for (unsigned places = unsigned(_mm_movemask_epi8(both)); places != 0;
             places &= places - 1) {
            if (matchesAt(hay + at + std::countr_zero(places)))
                return true;
        }
    }
#endif
    return scalarFind(hay, at, size) >= 0;
}

} // namespace Tables
