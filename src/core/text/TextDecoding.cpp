#include "text/TextDecoding.h"

#include <cstring>
#include <new>

#include <QFile>
#include <QStringDecoder>
#include <QtEndian>

#include "text/RtfReader.h"
#include "text/Windows1252.h"
#include "base/AppError.h"

namespace Files {

namespace {

constexpr char16_t kCr = u'\r';
constexpr char16_t kLf = u'\n';

bool startsWith(QByteArrayView bytes, const char *prefix, qsizetype length)
{
    return bytes.size() >= length && std::memcmp(bytes.data(), prefix, size_t(length)) == 0;
}

// Calls f(position, length) for every line break of `text`, in order: a CR LF
// pair has length 2, a lone CR or lone LF length 1. `find(unit, from)` returns
// the next position of a unit or -1; it is memchr or QStringView::indexOf,
// both vectorised, so the cost is per line rather than per character.
template<typename Find, typename F>
void forEachBreak(qsizetype size, Find &&find, F &&f)
{
    qsizetype cr = find(kCr, 0);
    qsizetype lf = find(kLf, 0);
    while (cr >= 0 || lf >= 0) {
        qsizetype pos;
        qsizetype length = 1;
        if (cr >= 0 && (lf < 0 || cr < lf)) {
            pos = cr;
            if (lf == cr + 1)
                length = 2;
        } else {
            pos = lf;
        }
        f(pos, length);
        const qsizetype next = pos + length;
        if (cr >= 0 && cr < next)
            cr = next < size ? find(kCr, next) : -1;
        if (lf >= 0 && lf < next)
            lf = next < size ? find(kLf, next) : -1;
    }
}

// Copies `size` units of `in` to `out`, every line break written as CR LF;
// `out` has room for size + extra units (extra: the lone CRs and LFs).
template<typename Unit, typename Find>
void copyWithCrLf(const Unit *in, qsizetype size, Unit *out, Find &&find)
{
    qsizetype copied = 0; // input copied so far
    forEachBreak(size, find, [&](qsizetype pos, qsizetype length) {
        const qsizetype run = pos - copied;
        std::memcpy(out, in + copied, size_t(run) * sizeof(Unit));
        out += run;
        *out++ = Unit(kCr);
        *out++ = Unit(kLf);
        copied = pos + length;
    });
    std::memcpy(out, in + copied, size_t(size - copied) * sizeof(Unit));
}

template<typename Find>
qsizetype loneBreakCount(qsizetype size, Find &&find)
{
    qsizetype extra = 0;
    forEachBreak(size, find, [&extra](qsizetype, qsizetype length) {
        if (length == 1)
            ++extra;
    });
    return extra;
}

// Line breaks of 8-bit text (UTF-8 or Windows-1252: CR and LF are single
// bytes in both and never part of a longer UTF-8 sequence) made CR LF before
// decoding: half the memory traffic of doing it on the UTF-16 text. Returns
// false, leaving `out` alone, when there is nothing to change.
bool crLfBytes(QByteArrayView bytes, QByteArray &out)
{
    const char *data = bytes.data();
    const qsizetype size = bytes.size();
    const auto find = [data, size](char16_t unit, qsizetype from) -> qsizetype {
        const void *hit = std::memchr(data + from, int(unit), size_t(size - from));
        return hit ? static_cast<const char *>(hit) - data : -1;
    };
    const qsizetype extra = loneBreakCount(size, find);
    if (extra == 0)
        return false;
    out = QByteArray(size + extra, Qt::Uninitialized);
    copyWithCrLf(data, size, out.data(), find);
    return true;
}

// Decodes one UTF-8 sequence starting at p (p < end). Returns its length and
// sets `codePoint`, or returns 0 when the bytes at p are not a valid,
// shortest-form sequence of a scalar value.
int decodeUtf8Sequence(const unsigned char *p, const unsigned char *end, char32_t &codePoint)
{
    const unsigned char b0 = p[0];
    if (b0 < 0x80) {
        codePoint = b0;
        return 1;
    }
    int length;
    char32_t cp;
    char32_t minimum;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2; cp = b0 & 0x1Fu; minimum = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3; cp = b0 & 0x0Fu; minimum = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4; cp = b0 & 0x07u; minimum = 0x10000;
    } else {
        return 0;
    }
    if (end - p < length)
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((p[i] & 0xC0u) != 0x80u)
            return 0;
        cp = (cp << 6) | (p[i] & 0x3Fu);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    codePoint = cp;
    return length;
}

// UTF-8 that declared itself with a BOM but holds invalid bytes: the valid
// sequences are decoded and every other byte is read as Windows-1252, so no
// byte is lost.
QString decodeLenientUtf8(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized); // never more units than bytes
    auto *out = reinterpret_cast<char16_t *>(text.data());
    auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *end = p + bytes.size();
    qsizetype n = 0;
    while (p < end) {
        char32_t cp = 0;
        const int length = decodeUtf8Sequence(p, end, cp);
        if (length == 0) {
            out[n++] = windows1252ToUnicode(*p);
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

QString decodeUtf8(QByteArrayView bytes)
{
    // The caller has dropped the BOM; a second U+FEFF is text and is kept.
    QStringDecoder decoder(QStringConverter::Utf8,
                           QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    return text;
}

QString decodeUtf16(QByteArrayView bytes, bool bigEndian)
{
    const qsizetype units = bytes.size() / 2;
    const bool oddByte = (bytes.size() % 2) != 0;
    QString text(units + (oddByte ? 1 : 0), Qt::Uninitialized);
    auto *out = reinterpret_cast<char16_t *>(text.data());
    if (bigEndian)
        qFromBigEndian<quint16>(bytes.data(), units, out);
    else
        qFromLittleEndian<quint16>(bytes.data(), units, out);
    if (oddByte)
        out[units] = u'\uFFFD'; // half a code unit cannot be a character
    return text;
}

// Pane text of UTF-8 or, when it is not valid UTF-8, Windows-1252 bytes.
QString decodeEightBit(QByteArrayView bytes, bool hadUtf8Bom)
{
    QByteArray withCrLf;
    if (crLfBytes(bytes, withCrLf))
        bytes = withCrLf;
    if (bytes.isValidUtf8())
        return decodeUtf8(bytes);
    return hadUtf8Bom ? decodeLenientUtf8(bytes) : fromWindows1252(bytes);
}

// The text with every line break (CR LF, lone CR, lone LF) turned into CR LF;
// the text itself (no copy) when it has no lone CR or LF.
QString normaliseLineBreaks(const QString &text)
{
    const QStringView view(text);
    const auto find = [view](char16_t unit, qsizetype from) {
        return view.indexOf(QChar(unit), from);
    };
    const qsizetype extra = loneBreakCount(view.size(), find);
    if (extra == 0)
        return text;
    QString result(view.size() + extra, Qt::Uninitialized);
    copyWithCrLf(view.utf16(), view.size(), reinterpret_cast<char16_t *>(result.data()), find);
    return result;
}

QString decodeBytes(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return QString();
    if (looksLikeRtf(bytes))
        return normaliseLineBreaks(rtfToPlainText(bytes));
    if (startsWith(bytes, "\xEF\xBB\xBF", 3)) {
        const QByteArrayView body = bytes.sliced(3);
        if (looksLikeRtf(body)) // some tools put a BOM before rich text
            return normaliseLineBreaks(rtfToPlainText(body));
        return decodeEightBit(body, true);
    }
    if (startsWith(bytes, "\xFF\xFE", 2))
        return normaliseLineBreaks(decodeUtf16(bytes.sliced(2), false));
    if (startsWith(bytes, "\xFE\xFF", 2))
        return normaliseLineBreaks(decodeUtf16(bytes.sliced(2), true));
    return decodeEightBit(bytes, false);
}

} // namespace

QString decodeToPaneText(const QByteArray &bytes)
{
    return decodeBytes(QByteArrayView(bytes));
}

QString loadFileText(const QString &path)
{
    QFile file(path);
    const auto fail = [&file, &path]() {
        QString description = file.errorString();
        if (description.isEmpty() || file.error() == QFileDevice::NoError)
            description = QStringLiteral("Cannot read the file \"%1\"").arg(path);
        throw AppError(description);
    };
    try {
        if (!file.open(QIODevice::ReadOnly))
            fail();
        const QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            fail();
        return decodeToPaneText(bytes);
    } catch (const std::bad_alloc &) {
        throw AppError(QStringLiteral("Out of memory: the file \"%1\" is too large to load").arg(path));
    }
}

} // namespace Files
