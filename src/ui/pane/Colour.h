#pragma once

#include <QColor>
#include <QtGlobal>

// A colour value as the program stores it: 0x00BBGGRR.
using Colour = quint32;

inline constexpr Colour kRed = 255;
inline constexpr Colour kBlack = 0;

inline QColor toQColor(Colour c)
{
    return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF));
}

inline Colour fromQColor(const QColor &c)
{
    return Colour(c.red()) | (Colour(c.green()) << 8) | (Colour(c.blue()) << 16);
}
