#include "PaneJson.h"

#include <algorithm>
#include <cstddef>

#include <QByteArray>
#include <QString>

#include "text/PaneBytes.h"

namespace Cli {

namespace {

// About this many bytes are turned into text at a time.
constexpr qsizetype pieceSize = qsizetype(1) << 20;

char hexDigit(uint value)
{
    return "0123456789abcdef"[value & 0xF];
}

void appendUnitEscape(QByteArray &out, char16_t unit)
{
    out += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4)
        out += hexDigit(unit >> shift);
}

// Escapes as QJsonDocument does: the quote, the backslash and the control
// characters; a surrogate without its partner as \udxxx; the rest as UTF-8.
void appendEscaped(QByteArray &out, QStringView text)
{
    const char16_t *p = text.utf16();
    const char16_t *end = p + text.size();
    for (; p < end; ++p) {
        const char16_t u = *p;
        if (u >= 0x80) {
            if (QChar::isHighSurrogate(u) && p + 1 < end && QChar::isLowSurrogate(p[1])) {
                const char32_t c = QChar::surrogateToUcs4(u, p[1]);
                out += char(0xF0 | (c >> 18));
                out += char(0x80 | ((c >> 12) & 0x3F));
                out += char(0x80 | ((c >> 6) & 0x3F));
                out += char(0x80 | (c & 0x3F));
                ++p;
            } else if (QChar::isSurrogate(u)) {
                appendUnitEscape(out, u);
            } else if (u < 0x800) {
                out += char(0xC0 | (u >> 6));
                out += char(0x80 | (u & 0x3F));
            } else {
                out += char(0xE0 | (u >> 12));
                out += char(0x80 | ((u >> 6) & 0x3F));
                out += char(0x80 | (u & 0x3F));
            }
            continue;
        }
        if (u >= 0x20 && u != '"' && u != '\\') {
            out += char(u);
            continue;
        }
        switch (u) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            appendUnitEscape(out, u);
        }
    }
}

// Where the piece that starts at `from` ends: at an ASCII byte, which never
// splits a character, nor two surrogates that the text reads as one pair.
qsizetype pieceEnd(QByteArrayView bytes, qsizetype from)
{
    qsizetype end = std::min(from + pieceSize, bytes.size());
    while (end < bytes.size() && uchar(bytes[end]) >= 0x80)
        ++end;
    return end;
}

} // namespace

void writeJsonText(QByteArrayView paneBytes, const JsonSink &put)
{
    QByteArray out;
    out.reserve(pieceSize + pieceSize / 4);
    out += '"';
    for (qsizetype from = 0; from < paneBytes.size();) {
        const qsizetype end = pieceEnd(paneBytes, from);
        appendEscaped(out, PaneBytes::toText(paneBytes.sliced(from, end - from)));
        put(out);
        out.clear();
        from = end;
    }
    out += '"';
    put(out);
}

void writeJsonRanges(QByteArrayView paneBytes, const Compare::ColourRanges &byteRanges,
                     const JsonSink &put)
{
    // A conversion takes several times the memory of its ranges: a word
    // comparison of a large file can have millions of them.
    constexpr std::size_t batchSize = 1 << 16;
    QByteArray out = "[";
    qsizetype batchByte = 0;  // where the last batch started, in bytes
    qsizetype batchUnits = 0; // and in UTF-16 code units
    for (std::size_t first = 0; first < byteRanges.size(); first += batchSize) {
        const std::size_t last = std::min(byteRanges.size(), first + batchSize);
        const qsizetype from = std::clamp(byteRanges[first].start, batchByte, paneBytes.size());
        batchUnits += PaneBytes::utf16Length(paneBytes.sliced(batchByte, from - batchByte));
        batchByte = from;
        Compare::ColourRanges batch(byteRanges.begin() + qsizetype(first),
                                    byteRanges.begin() + qsizetype(last));
        for (Compare::ColourRange &range : batch)
            range.start -= from;
        batch = PaneBytes::toUtf16Ranges(paneBytes.sliced(from), batch);
        for (std::size_t i = 0; i < batch.size(); ++i) {
            out += first + i == 0 ? "[" : ",[";
            out += QByteArray::number(qint64(batch[i].start + batchUnits)) + ','
                   + QByteArray::number(qint64(batch[i].length)) + ']';
        }
        put(out);
        out.clear();
    }
    out += ']';
    put(out);
}

} // namespace Cli
