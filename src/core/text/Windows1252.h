#pragma once

#include <QByteArrayView>
#include <QString>

namespace Files {

// Windows-1252 ("ANSI", Western European) byte -> UTF-16 code unit.
// Bytes 0x00-0x7F and 0xA0-0xFF are their Latin-1 code points; 0x80-0x9F are
// the Windows-1252 punctuation and letters (0x80 -> U+20AC euro sign ...).
// The five bytes that Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) map to the C1 control of the same number (U+0081 ...), so every byte
// becomes exactly one character and no byte is ever lost.
char16_t windows1252ToUnicode(unsigned char byte) noexcept;

// Decodes `count` bytes into `count` UTF-16 code units at `out`.
void decodeWindows1252(const char *bytes, qsizetype count, char16_t *out) noexcept;

// The whole byte array as Windows-1252 text, one character per byte.
QString fromWindows1252(QByteArrayView bytes);

} // namespace Files
