#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include <QByteArrayView>
#include <QString>

namespace Fuzz {

// Two pane texts from one input: the bytes before and after the first NUL,
// as UTF-8. Lines and words come from CR, LF and blanks in the bytes.
inline std::pair<QString, QString> twoTexts(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype nul = bytes.indexOf('\0');
    if (nul < 0)
        return {QString::fromUtf8(bytes), QString()};
    return {QString::fromUtf8(bytes.first(nul)), QString::fromUtf8(bytes.sliced(nul + 1))};
}

} // namespace Fuzz
