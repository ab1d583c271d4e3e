#include "PaneJson.h"

#include <algorithm>
#include <cstddef>

#include <QByteArray>
#include <QString>

#include "text/Escapes.h"
#include "text/PaneBytes.h"

namespace Cli {

namespace {

// About this many bytes are turned into text at a time.
constexpr qsizetype pieceSize = qsizetype(1) << 20;

// Escapes as QJsonDocument does: the quote, the backslash and the control
// characters; a surrogate without its partner as \udxxx; the rest as UTF-8.
void appendEscaped(QByteArray &out, QStringView text)
{
    const auto put = [&out](QByteArrayView piece) { out += piece; };
    qsizetype from = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (!QChar::isSurrogate(u))
            continue;
        if (QChar::isHighSurrogate(u) && i + 1 < text.size()
            && QChar::isLowSurrogate(text[i + 1].unicode())) {
            ++i;
            continue;
        }
        Escapes::jsonEscaped(text.sliced(from, i - from).toUtf8(), put);
        char escape[8];
        out += QByteArrayView(escape, Escapes::hexEscape(escape, "\\u", u, 4));
        from = i + 1;
    }
    Escapes::jsonEscaped(text.sliced(from).toUtf8(), put);
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
