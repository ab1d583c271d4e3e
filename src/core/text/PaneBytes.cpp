#include "text/PaneBytes.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include <QStringDecoder>

namespace PaneBytes {

namespace {

using Byte = unsigned char;

const Byte *begin(QByteArrayView bytes)
{
    return reinterpret_cast<const Byte *>(bytes.data());
}

// True when the eight bytes at p are all ASCII.
inline bool asciiWord(const Byte *p)
{
    quint64 word;
    std::memcpy(&word, p, sizeof word);
    return (word & 0x8080808080808080ull) == 0;
}

inline bool asciiUnits(const char16_t *p)
{
    quint64 a;
    quint64 b;
    std::memcpy(&a, p, sizeof a);
    std::memcpy(&b, p + 4, sizeof b);
    return ((a | b) & 0xFF80FF80FF80FF80ull) == 0;
}

// The UTF-16 units of the character whose first byte is `lead` (0 for a
// continuation byte).
inline qsizetype unitsOfLead(Byte lead)
{
    if ((lead & 0xC0) == 0x80)
        return 0;
    return lead >= 0xF0 ? 2 : 1;
}

inline qsizetype sequenceLength(Byte lead)
{
    if (lead < 0xC0)
        return 1;
    if (lead < 0xE0)
        return 2;
    return lead < 0xF0 ? 3 : 4;
}

} // namespace

QByteArray fromText(QStringView text)
{
    const auto *in = reinterpret_cast<const char16_t *>(text.utf16());
    const qsizetype size = text.size();
    QByteArray bytes(size * 3, Qt::Uninitialized); // never more than 3 bytes a unit
    auto *out = reinterpret_cast<Byte *>(bytes.data());
    qsizetype n = 0;
    qsizetype i = 0;
    while (i < size) {
        if (i + 8 <= size && asciiUnits(in + i)) {
            for (int k = 0; k < 8; ++k)
                out[n + k] = Byte(in[i + k]);
            n += 8;
            i += 8;
            continue;
        }
        const char32_t u = in[i];
        if (u < 0x80) {
            out[n++] = Byte(u);
        } else if (u < 0x800) {
            out[n++] = Byte(0xC0 | (u >> 6));
            out[n++] = Byte(0x80 | (u & 0x3F));
        } else if (QChar::isHighSurrogate(u) && i + 1 < size && QChar::isLowSurrogate(in[i + 1])) {
            const char32_t cp = QChar::surrogateToUcs4(char16_t(u), in[i + 1]);
            out[n++] = Byte(0xF0 | (cp >> 18));
            out[n++] = Byte(0x80 | ((cp >> 12) & 0x3F));
            out[n++] = Byte(0x80 | ((cp >> 6) & 0x3F));
            out[n++] = Byte(0x80 | (cp & 0x3F));
            ++i;
        } else {
            // Any other unit, a lone surrogate too, takes three bytes.
            out[n++] = Byte(0xE0 | (u >> 12));
            out[n++] = Byte(0x80 | ((u >> 6) & 0x3F));
            out[n++] = Byte(0x80 | (u & 0x3F));
        }
        ++i;
    }
    bytes.truncate(n);
    bytes.squeeze();
    return bytes;
}

QString toText(QByteArrayView bytes)
{
    // Only a lone surrogate's bytes (ED A0..BF ..) are beyond Qt's decoder.
    if (bytes.isEmpty() || !std::memchr(bytes.data(), 0xED, size_t(bytes.size()))) {
        // A U+FEFF at the start is text, not a byte-order mark.
        QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom
                                                           | QStringConverter::Flag::Stateless);
        return decoder.decode(bytes);
    }
    const Byte *p = begin(bytes);
    const Byte *end = p + bytes.size();
    QString text(bytes.size(), Qt::Uninitialized);
    auto *out = reinterpret_cast<char16_t *>(text.data());
    qsizetype n = 0;
    while (p < end) {
        const Byte lead = *p;
        const qsizetype length = std::min<qsizetype>(sequenceLength(lead), end - p);
        bool valid = lead < 0x80 || (lead >= 0xC2 && lead <= 0xF4);
        char32_t cp = length == 1 ? lead : lead & (0x7F >> length);
        for (qsizetype k = 1; k < length && valid; ++k) {
            valid = (p[k] & 0xC0) == 0x80;
            cp = (cp << 6) | (p[k] & 0x3F);
        }
        if (!valid || length < sequenceLength(lead)) {
            out[n++] = u'\uFFFD'; // never in a pane's bytes; one mark per bad byte
            ++p;
            continue;
        }
        if (cp >= 0x10000) {
            out[n++] = QChar::highSurrogate(cp);
            out[n++] = QChar::lowSurrogate(cp);
        } else {
            out[n++] = char16_t(cp);
        }
        p += length;
    }
    text.truncate(n);
    return text;
}

bool isUtf8(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return true;
    const Byte *p = begin(bytes);
    const Byte *end = p + bytes.size();
    for (;;) {
        p = static_cast<const Byte *>(std::memchr(p, 0xED, size_t(end - p)));
        if (!p || p + 1 >= end)
            return true;
        if (p[1] >= 0xA0)
            return false;
        ++p;
    }
}

qsizetype utf16Length(QByteArrayView bytes)
{
    const Byte *p = begin(bytes);
    const qsizetype size = bytes.size();
    qsizetype units = 0;
    qsizetype i = 0;
    for (; i + 8 <= size; i += 8) {
        if (asciiWord(p + i)) {
            units += 8;
            continue;
        }
        for (int k = 0; k < 8; ++k)
            units += unitsOfLead(p[i + k]);
    }
    for (; i < size; ++i)
        units += unitsOfLead(p[i]);
    return units;
}

std::vector<qsizetype> byteOffsets(QByteArrayView bytes, const std::vector<qsizetype> &utf16)
{
    std::vector<qsizetype> result;
    result.reserve(utf16.size());
    const Byte *p = begin(bytes);
    const qsizetype size = bytes.size();
    qsizetype at = 0;    // byte offset, always at a character's start
    qsizetype units = 0; // UTF-16 units before `at`
    for (qsizetype wanted : utf16) {
        while (at < size && units < wanted) {
            if (at + 8 <= size && wanted - units >= 8 && asciiWord(p + at)) {
                at += 8;
                units += 8;
                continue;
            }
            units += p[at] >= 0xF0 ? 2 : 1;
            at += sequenceLength(p[at]);
        }
        result.push_back(std::min(at, size));
    }
    return result;
}

std::vector<qsizetype> utf16Offsets(QByteArrayView bytes, const std::vector<qsizetype> &byteOffsets)
{
    std::vector<qsizetype> result;
    result.reserve(byteOffsets.size());
    const Byte *p = begin(bytes);
    const qsizetype size = bytes.size();
    qsizetype at = 0;
    qsizetype units = 0;
    for (qsizetype wanted : byteOffsets) {
        wanted = std::min(wanted, size);
        while (at < wanted) {
            if (at + 8 <= wanted && asciiWord(p + at)) {
                at += 8;
                units += 8;
                continue;
            }
            units += p[at] >= 0xF0 ? 2 : 1;
            at += sequenceLength(p[at]);
        }
        result.push_back(units);
    }
    return result;
}

namespace {

template <typename Map>
Compare::ColourRanges convertRanges(const Compare::ColourRanges &ranges, Map map)
{
    // Both ends of every range, mapped in one pass in ascending order.
    std::vector<qsizetype> ends;
    ends.reserve(ranges.size() * 2);
    for (const Compare::ColourRange &r : ranges) {
        ends.push_back(r.start);
        ends.push_back(r.start + std::max<qsizetype>(r.length, 0));
    }
    std::vector<size_t> order(ends.size());
    std::iota(order.begin(), order.end(), size_t(0));
    if (!std::is_sorted(ends.begin(), ends.end()))
        std::stable_sort(order.begin(), order.end(),
                         [&](size_t a, size_t b) { return ends[a] < ends[b]; });
    std::vector<qsizetype> sorted(ends.size());
    for (size_t i = 0; i < order.size(); ++i)
        sorted[i] = ends[order[i]];
    const std::vector<qsizetype> mapped = map(sorted);
    for (size_t i = 0; i < order.size(); ++i)
        ends[order[i]] = mapped[i];
    Compare::ColourRanges result;
    result.reserve(ranges.size());
    for (size_t i = 0; i < ranges.size(); ++i)
        result.push_back({ends[2 * i], ends[2 * i + 1] - ends[2 * i]});
    return result;
}

} // namespace

Compare::ColourRanges toByteRanges(QByteArrayView bytes, const Compare::ColourRanges &utf16)
{
    return convertRanges(utf16,
                         [&](const std::vector<qsizetype> &o) { return byteOffsets(bytes, o); });
}

Compare::ColourRanges toUtf16Ranges(QByteArrayView bytes, const Compare::ColourRanges &byteRanges)
{
    return convertRanges(byteRanges,
                         [&](const std::vector<qsizetype> &o) { return utf16Offsets(bytes, o); });
}

} // namespace PaneBytes
