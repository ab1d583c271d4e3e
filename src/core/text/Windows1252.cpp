#include "text/Windows1252.h"

namespace Files {

namespace {

// 0x80-0x9F; the rest of the code page is identical to Latin-1.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98-9F
};

} // namespace

char16_t windows1252ToUnicode(unsigned char byte) noexcept
{
    if (byte >= 0x80 && byte <= 0x9F)
        return kHighControls[byte - 0x80];
    return char16_t(byte);
}

void decodeWindows1252(const char *bytes, qsizetype count, char16_t *out) noexcept
{
    const auto *src = reinterpret_cast<const unsigned char *>(bytes);
    for (qsizetype i = 0; i < count; ++i) {
        const unsigned char b = src[i];
        out[i] = (b >= 0x80 && b <= 0x9F) ? kHighControls[b - 0x80] : char16_t(b);
    }
}

QString fromWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    decodeWindows1252(bytes.data(), bytes.size(), reinterpret_cast<char16_t *>(text.data()));
    return text;
}

} // namespace Files
