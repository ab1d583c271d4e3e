#pragma once

#include <QByteArray>
#include <QString>

// Byte strings with NULs in them, and UTF-16 text, for the decoding tests.
inline QByteArray bytesOf(const char *data, qsizetype size)
{
    return QByteArray(data, size);
}

#define BYTES(literal) bytesOf(literal, qsizetype(sizeof(literal) - 1))

inline QString text16(const char16_t *s)
{
    return QString::fromUtf16(s);
}
