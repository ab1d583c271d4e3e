#pragma once

#include <QByteArrayView>

// Escapes that more than one writer needs, each linear in its input and
// handing the result on in runs, with no allocation.
namespace Escapes {

// Writes prefix and `digits` lowercase hex digits of value to out (at least
// strlen(prefix) + digits bytes); their count.
inline int hexEscape(char *out, const char *prefix, char32_t value, int digits)
{
    int length = 0;
    while (*prefix)
        out[length++] = *prefix++;
    for (int d = digits - 1; d >= 0; --d)
        out[length++] = "0123456789abcdef"[(value >> (4 * d)) & 0xF];
    return length;
}

// Hands `text` to put() as the inside of a JSON string, the way QJsonDocument
// writes it: the quote, the backslash and the control characters escaped
// (\" \\ \b \f \n \r \t, the others as \u00XX), every other byte as it is.
template <typename Put>
void jsonEscaped(QByteArrayView text, Put &&put)
{
    qsizetype from = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b >= 0x20 && b != '"' && b != '\\')
            continue;
        put(text.sliced(from, i - from));
        char escape[8] = {'\\', 0};
        int size = 2;
        switch (b) {
        case '"':
        case '\\':
            escape[1] = char(b);
            break;
        case '\b':
            escape[1] = 'b';
            break;
        case '\f':
            escape[1] = 'f';
            break;
        case '\n':
            escape[1] = 'n';
            break;
        case '\r':
            escape[1] = 'r';
            break;
        case '\t':
            escape[1] = 't';
            break;
        default:
            size = hexEscape(escape, "\\u", b, 4);
        }
        put(QByteArrayView(escape, size));
        from = i + 1;
    }
    put(text.sliced(from));
}

// Hands `text` to put() as HTML text or an attribute's value: & < > " '
// as character references, every other byte as it is.
template <typename Put>
void htmlEscaped(QByteArrayView text, Put &&put)
{
    qsizetype from = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char *reference = nullptr;
        switch (text[i]) {
        case '&':
            reference = "&amp;";
            break;
        case '<':
            reference = "&lt;";
            break;
        case '>':
            reference = "&gt;";
            break;
        case '"':
            reference = "&quot;";
            break;
        case '\'':
            reference = "&#39;";
            break;
        default:
            continue;
        }
        put(text.sliced(from, i - from));
        put(QByteArrayView(reference));
        from = i + 1;
    }
    put(text.sliced(from));
}

} // namespace Escapes
