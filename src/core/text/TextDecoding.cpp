#include "text/TextDecoding.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include <QDir>
#include <QtEndian>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/AppError.h"
#include "base/BitCount.h"
#include "io/FileReader.h"
#include "text/PaneBytes.h"
#include "text/RtfReader.h"
#include "text/Utf8.h"
#include "text/Windows1252.h"

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
template <typename Find, typename F>
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
template <typename Unit, typename Find>
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

template <typename Find>
qsizetype loneBreakCount(qsizetype size, Find &&find)
{
    qsizetype extra = 0;
    forEachBreak(size, find, [&extra](qsizetype, qsizetype length) {
        if (length == 1)
            ++extra;
    });
    return extra;
}

#if defined(__SSE2__)
// How many lone CRs and LFs the 16 bytes at p hold; reads p[-1] and p[16].
inline int loneBreaksAt(const char *p)
{
    const auto load = [](const char *at) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
    };
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i bytes = load(p);
    const __m128i loneCr =
        _mm_andnot_si128(_mm_cmpeq_epi8(load(p + 1), lf), _mm_cmpeq_epi8(bytes, cr));
    const __m128i loneLf =
        _mm_andnot_si128(_mm_cmpeq_epi8(load(p - 1), cr), _mm_cmpeq_epi8(bytes, lf));
    // Most blocks of a text of CR LF breaks hold none: not counted.
    const auto lone = quint32(_mm_movemask_epi8(_mm_or_si128(loneCr, loneLf)));
    return lone == 0 ? 0 : bitCount(lone);
}
#endif

// How many lone CRs and lone LFs 8-bit text holds: as loneBreakCount() with
// memchr, but 16 bytes at a time where the processor compares that many at
// once, since a text of short lines would call memchr for every line.
qsizetype loneBytesBreakCount(QByteArrayView bytes)
{
    const char *data = bytes.data();
    const qsizetype size = bytes.size();
    const auto lone = [data, size](qsizetype k) {
        const char c = data[k];
        return (c == '\r' && (k + 1 == size || data[k + 1] != '\n'))
               || (c == '\n' && (k == 0 || data[k - 1] != '\r'));
    };
    qsizetype extra = size > 0 && lone(0) ? 1 : 0;
    qsizetype i = 1;
#if defined(__SSE2__)
    // Each block reads a byte either side of it, which the text holds.
    for (; i + 17 <= size; i += 16)
        extra += loneBreaksAt(data + i);
#endif
    for (; i < size; ++i)
        extra += lone(i) ? 1 : 0;
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
    const qsizetype extra = loneBytesBreakCount(bytes);
    if (extra == 0)
        return false;
    out = QByteArray(size + extra, Qt::Uninitialized);
    copyWithCrLf(data, size, out.data(), find);
    return true;
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

// Appends the UTF-8 form of a character below U+10000.
inline char *putUtf8(char *out, char16_t unit)
{
    if (unit < 0x80) {
        *out++ = char(unit);
    } else if (unit < 0x800) {
        *out++ = char(0xC0 | (unit >> 6));
        *out++ = char(0x80 | (unit & 0x3F));
    } else {
        *out++ = char(0xE0 | (unit >> 12));
        *out++ = char(0x80 | ((unit >> 6) & 0x3F));
        *out++ = char(0x80 | (unit & 0x3F));
    }
    return out;
}

// Windows-1252 bytes as pane bytes (UTF-8), one character per byte.
QByteArray windows1252PaneBytes(QByteArrayView bytes)
{
    QByteArray out(bytes.size() * 3, Qt::Uninitialized);
    char *o = out.data();
    for (const char c : bytes)
        o = putUtf8(o, windows1252ToUnicode(static_cast<unsigned char>(c)));
    out.truncate(o - out.data());
    out.squeeze();
    return out;
}

// UTF-8 with some invalid bytes: the valid sequences are kept as they are and
// every other byte is read as Windows-1252, so no byte is lost.
QByteArray lenientUtf8PaneBytes(QByteArrayView bytes)
{
    QByteArray out(bytes.size() * 3, Qt::Uninitialized);
    char *o = out.data();
    auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *end = p + bytes.size();
    while (p < end) {
        char32_t cp = 0;
        const int length = decodeUtf8Sequence(p, end, cp);
        if (length == 0) {
            o = putUtf8(o, windows1252ToUnicode(*p));
            ++p;
            continue;
        }
        std::memcpy(o, p, size_t(length));
        o += length;
        p += length;
    }
    out.truncate(o - out.data());
    out.squeeze();
    return out;
}

// Bytes that are not valid UTF-8, as pane bytes: UTF-8 with a few stray
// bytes (a BOM, or at least as many valid sequences past ASCII as invalid
// bytes) keeps its sequences; anything else is Windows-1252 throughout.
QByteArray notUtf8PaneBytes(QByteArrayView bytes, bool hadUtf8Bom)
{
    return hadUtf8Bom || mostlyUtf8(bytes) ? lenientUtf8PaneBytes(bytes)
                                           : windows1252PaneBytes(bytes);
}

// Pane bytes of UTF-8 or, when it is not valid UTF-8, of the bytes read as
// above. Valid UTF-8 with CR LF breaks only is the file's own bytes, not a copy.
QByteArray eightBitPaneBytes(QByteArray &&file, qsizetype skip, bool hadUtf8Bom)
{
    QByteArray withCrLf;
    const bool changed = crLfBytes(QByteArrayView(file).sliced(skip), withCrLf);
    if (changed) {
        file = QByteArray(); // the old copy goes before any new one is made
        skip = 0;
    }
    QByteArray &body = changed ? withCrLf : file;
    if (QByteArrayView(body).sliced(skip).isValidUtf8()) {
        if (skip > 0)
            body.remove(0, skip); // in place
        return std::move(body);
    }
    return notUtf8PaneBytes(QByteArrayView(body).sliced(skip), hadUtf8Bom);
}

QByteArray paneBytesOf(const QString &text)
{
    return PaneBytes::fromText(normaliseLineBreaks(text));
}

QByteArray decodeBytes(QByteArray &&file)
{
    const QByteArrayView bytes(file);
    if (bytes.isEmpty())
        return QByteArray();
    if (looksLikeRtf(bytes))
        return paneBytesOf(rtfToPlainText(bytes));
    if (startsWith(bytes, "\xEF\xBB\xBF", 3)) {
        const QByteArrayView body = bytes.sliced(3);
        if (looksLikeRtf(body)) // some tools put a BOM before rich text
            return paneBytesOf(rtfToPlainText(body));
        return eightBitPaneBytes(std::move(file), 3, true);
    }
    if (startsWith(bytes, "\xFF\xFE", 2))
        return paneBytesOf(decodeUtf16(bytes.sliced(2), false));
    if (startsWith(bytes, "\xFE\xFF", 2))
        return paneBytesOf(decodeUtf16(bytes.sliced(2), true));
    return eightBitPaneBytes(std::move(file), 0, false);
}

} // namespace

QByteArray decodeKeepingBreaks(QByteArray file, QString &encoding, qsizetype *invalidLine)
{
    const QByteArrayView bytes(file);
    encoding = QStringLiteral("UTF-8");
    if (looksLikeRtf(bytes)
        || (startsWith(bytes, "\xEF\xBB\xBF", 3) && looksLikeRtf(bytes.sliced(3)))) {
        encoding = QStringLiteral("RTF");
        return decodeBytes(std::move(file));
    }
    if (startsWith(bytes, "\xFF\xFE", 2) || startsWith(bytes, "\xFE\xFF", 2)) {
        const bool bigEndian = bytes[0] == '\xFE';
        encoding = bigEndian ? QStringLiteral("UTF-16BE") : QStringLiteral("UTF-16LE");
        return PaneBytes::fromText(decodeUtf16(bytes.sliced(2), bigEndian));
    }
    const bool bom = startsWith(bytes, "\xEF\xBB\xBF", 3);
    if (bom)
        file.remove(0, 3); // in place
    if (QByteArrayView(file).isValidUtf8())
        return file;
    if (invalidLine)
        *invalidLine = firstInvalidLine(file);
    encoding = bom || mostlyUtf8(file) ? QStringLiteral("UTF-8 (invalid bytes as Windows-1252)")
                                       : QStringLiteral("Windows-1252");
    return notUtf8PaneBytes(file, bom);
}

QByteArray decodeToPaneBytes(QByteArray bytes)
{
    return decodeBytes(std::move(bytes));
}

QByteArray decodeToPaneBytes(QByteArray bytes, DecodeNote &note)
{
    note = decodeNote(bytes);
    return decodeBytes(std::move(bytes));
}

DecodeNote decodeNote(QByteArrayView bytes)
{
    DecodeNote note;
    if (startsWith(bytes, "\xFF\xFE", 2) || startsWith(bytes, "\xFE\xFF", 2))
        return note;
    const bool bom = startsWith(bytes, "\xEF\xBB\xBF", 3);
    const QByteArrayView body = bom ? bytes.sliced(3) : bytes;
    if (looksLikeRtf(body) || body.isValidUtf8())
        return note;
    note.invalidLine = firstInvalidLine(body);
    note.encoding = bom || mostlyUtf8(body)
                        ? QStringLiteral("UTF-8 (invalid bytes as Windows-1252)")
                        : QStringLiteral("Windows-1252");
    return note;
}

bool mostlyUtf8(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *end = p + bytes.size();
    qsizetype valid = 0;
    qsizetype invalid = 0;
    while (p < end) {
        // ASCII runs are skipped a word at a time: most files are mostly ASCII.
        while (end - p >= 8) {
            quint64 word;
            std::memcpy(&word, p, sizeof word);
            if (word & 0x8080808080808080ULL)
                break;
            p += 8;
        }
        if (p == end)
            break;
        char32_t cp = 0;
        const int length = decodeUtf8Sequence(p, end, cp);
        if (length == 0) {
            ++invalid;
            ++p;
        } else {
            valid += length > 1 ? 1 : 0;
            p += length;
        }
    }
    return valid > 0 && valid >= invalid;
}

qsizetype firstInvalidLine(QByteArrayView bytes)
{
    const auto *begin = reinterpret_cast<const unsigned char *>(bytes.data());
    const auto *end = begin + bytes.size();
    const auto *p = begin;
    while (p < end) {
        char32_t codePoint = 0;
        const int length = decodeUtf8Sequence(p, end, codePoint);
        if (length == 0)
            break;
        p += length;
    }
    if (p == end)
        return 0;
    qsizetype line = 1;
    for (const auto *b = begin; b < p; ++b) {
        if (*b == '\n' || (*b == '\r' && (b + 1 == end || b[1] != '\n')))
            ++line;
    }
    return line;
}

QString decodeToPaneText(const QByteArray &bytes)
{
    return PaneBytes::toText(decodeToPaneBytes(bytes));
}

namespace {

// The reason a load gives, in the words the window has always used.
QString loadFailureReason(const FileBytes &read, const QString &path)
{
    switch (read.errorNumber) {
    case 0:
        break;
    case EISDIR:
        return QStringLiteral("it is a folder, not a file");
    case ENOENT:
        return QStringLiteral("No such file or directory");
    case EACCES:
        return QStringLiteral("Permission denied");
    default:
        return QString::fromLocal8Bit(std::strerror(read.errorNumber));
    }
    // The reader's own reasons follow the name it was given.
    QString reason = read.error;
    if (reason.startsWith(path + QStringLiteral(": ")))
        reason.remove(0, path.size() + 2);
    if (!reason.isEmpty())
        reason[0] = reason[0].toLower();
    return reason.isEmpty() ? QStringLiteral("it cannot be read") : reason;
}

} // namespace

QByteArray readFileToLoad(const QString &path, Compare::Progress *progress)
{
    // A pipe or device is refused at once: a window cannot wait for a writer.
    FileBytes read = readFileBytes(path, Streams::Refused, progress);
    if (read.cancelled)
        return QByteArray();
    if (read.errorNumber == ENOMEM)
        throw AppError(
            QStringLiteral("Out of memory: the file \"%1\" is too large to load").arg(path));
    // The reason always names the file: a load from the command line or a
    // drop has no dialog that showed which one it was.
    if (!read.ok())
        throw AppError(QStringLiteral("Cannot load %1: %2")
                           .arg(QDir::toNativeSeparators(path), loadFailureReason(read, path)));
    return std::move(read.bytes);
}

QByteArray loadFileBytes(const QString &path, Compare::Progress *progress)
{
    QByteArray bytes = readFileToLoad(path, progress);
    if (progress && progress->cancelled)
        return QByteArray();
    try {
        return decodeToPaneBytes(std::move(bytes));
    } catch (const std::bad_alloc &) {
        throw AppError(
            QStringLiteral("Out of memory: the file \"%1\" is too large to load").arg(path));
    }
}

QString loadFileText(const QString &path)
{
    return PaneBytes::toText(loadFileBytes(path));
}

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
        length = 2;
        cp = b0 & 0x1Fu;
        minimum = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        cp = b0 & 0x0Fu;
        minimum = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        cp = b0 & 0x07u;
        minimum = 0x10000;
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

} // namespace Files
