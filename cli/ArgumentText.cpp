#include "ArgumentText.h"

namespace Cli {

namespace {

constexpr char16_t escapeBase = 0xDC00;

bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

struct Sequence
{
    qsizetype length = 0; // 0: no valid sequence
    char32_t code = 0;
};

// The valid UTF-8 sequence at `at` (no overlong forms, no surrogates, nothing
// above U+10FFFF), if there is one.
Sequence validSequence(const QByteArray &bytes, qsizetype at)
{
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[at + i]); };
    const unsigned char lead = byte(0);
    qsizetype length = 0;
    char32_t code = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        return {1, lead};
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
        minimum = 0x10000;
    } else {
        return {};
    }
    if (at + length > bytes.size())
        return {};
    for (qsizetype i = 1; i < length; ++i) {
        if (!isContinuation(byte(i)))
            return {};
        code = (code << 6) | (byte(i) & 0x3Fu);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return {};
    return {length, code};
}

void appendUtf8(QByteArray &out, char32_t code)
{
    const auto put = [&out](char32_t value) { out += static_cast<char>(value); };
    if (code < 0x80) {
        put(code);
    } else if (code < 0x800) {
        put(0xC0 | (code >> 6));
        put(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        put(0xE0 | (code >> 12));
        put(0x80 | ((code >> 6) & 0x3F));
        put(0x80 | (code & 0x3F));
    } else {
        put(0xF0 | (code >> 18));
        put(0x80 | ((code >> 12) & 0x3F));
        put(0x80 | ((code >> 6) & 0x3F));
        put(0x80 | (code & 0x3F));
    }
}

} // namespace

QString argumentText(const QByteArray &bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (qsizetype at = 0; at < bytes.size();) {
        const Sequence sequence = validSequence(bytes, at);
        if (sequence.length == 0) {
            const auto byte = static_cast<unsigned char>(bytes[at]);
            text += QChar(static_cast<char16_t>(escapeBase + byte));
            ++at;
            continue;
        }
        if (QChar::requiresSurrogates(sequence.code)) {
            text += QChar(QChar::highSurrogate(sequence.code));
            text += QChar(QChar::lowSurrogate(sequence.code));
        } else {
            text += QChar(static_cast<char16_t>(sequence.code));
        }
        at += sequence.length;
    }
    return text;
}

QByteArray argumentBytes(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype at = 0; at < text.size(); ++at) {
        const char16_t unit = text[at].unicode();
        if (QChar::isHighSurrogate(unit) && at + 1 < text.size()
            && QChar::isLowSurrogate(text[at + 1].unicode())) {
            appendUtf8(bytes, QChar::surrogateToUcs4(unit, text[at + 1].unicode()));
            ++at;
        } else if (unit >= escapeBase + 0x80 && unit <= escapeBase + 0xFF) {
            bytes += static_cast<char>(unit - escapeBase);
        } else if (QChar::isSurrogate(unit)) {
            appendUtf8(bytes, 0xFFFD);
        } else {
            appendUtf8(bytes, unit);
        }
    }
    return bytes;
}

} // namespace Cli
