#include "ArgumentText.h"

#include "text/Utf8.h"

namespace Cli {

namespace {

constexpr char16_t escapeBase = 0xDC00;

struct Sequence
{
    qsizetype length = 0; // 0: no valid sequence
    char32_t code = 0;
};

// The valid UTF-8 sequence at `at` (no overlong forms, no surrogates, nothing
// above U+10FFFF), if there is one.
Sequence validSequence(const QByteArray &bytes, qsizetype at)
{
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.constData());
    Sequence sequence;
    sequence.length = Files::decodeUtf8Sequence(data + at, data + bytes.size(), sequence.code);
    return sequence;
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
