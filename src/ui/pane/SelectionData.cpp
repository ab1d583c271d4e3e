#include "pane/SelectionData.h"

#include "text/PaneBytes.h"

namespace {

const QString kPlain = QStringLiteral("text/plain");
const QString kPlainUtf8 = QStringLiteral("text/plain;charset=utf-8");

} // namespace

SelectionData::SelectionData(std::vector<TextBuffer::Part> parts, const QObject *origin)
    : m_parts(std::move(parts)), m_origin(origin)
{
}

QStringList SelectionData::formats() const
{
    return {kPlain, kPlainUtf8};
}

bool SelectionData::hasFormat(const QString &mimeType) const
{
    return mimeType == kPlain || mimeType == kPlainUtf8;
}

QByteArray SelectionData::joined() const
{
    qsizetype size = 0;
    for (const TextBuffer::Part &p : m_parts)
        size += qsizetype(p.length);
    QByteArray bytes;
    bytes.reserve(size);
    for (const TextBuffer::Part &p : m_parts)
        p.forEachSlice([&bytes](QByteArrayView slice) { bytes.append(slice); });
    return bytes;
}

QVariant SelectionData::retrieveData(const QString &mimeType, QMetaType type) const
{
    if (!hasFormat(mimeType))
        return {};
    const QByteArray bytes = joined();
    if (type.id() == QMetaType::QString)
        return PaneBytes::toText(bytes);
    // Pane bytes are UTF-8 unless they hold a lone surrogate from a broken
    // UTF-16 file; those become U+FFFD as any other program would read them.
    return PaneBytes::isUtf8(bytes) ? bytes : PaneBytes::toText(bytes).toUtf8();
}
