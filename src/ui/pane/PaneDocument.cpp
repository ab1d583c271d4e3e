#include "pane/PaneDocument.h"

#include <algorithm>
#include <new>
#include <utility>

#include "base/BothAtOnce.h"
#include "pane/PaneView.h"
#include "text/PaneBytes.h"
#include "text/TextBuffer.h"

PaneDocument::PaneDocument(Colours colours, qsizetype room, qsizetype reach)
{
    Q_UNUSED(colours);
    Q_UNUSED(reach);
    if (room > 0)
        m_bytes.reserve(room);
}

namespace {

// The UTF-16 units before each whole block of `bytes` and after the last.
std::vector<qint64> utf16Counts(QByteArrayView bytes)
{
    constexpr qsizetype block = PaneView::kUtf16Block;
    std::vector<qint64> before{0};
    before.reserve(size_t(bytes.size() / block + 1));
    for (qsizetype at = 0; at + block <= bytes.size(); at += block)
        before.push_back(before.back() + PaneBytes::utf16Length(bytes.sliced(at, block)));
    return before;
}

} // namespace

bool PaneDocument::take(QByteArray bytes, qsizetype room, Compare::Progress *progress)
{
    if (!m_bytes.isEmpty() || !bytes.isDetached() || bytes.capacity() < room) {
        // Copied into room of its own, a slice at a time so that Cancel is heard.
        constexpr qsizetype slice = qsizetype(8) << 20;
        m_bytes.reserve(m_bytes.size() + std::max(room, bytes.size()));
        for (qsizetype at = 0; at < bytes.size(); at += slice)
            if (!append(QByteArrayView(bytes).sliced(at, std::min(slice, bytes.size() - at)),
                        progress))
                return false;
        return true;
    }
    if (progress && progress->cancelled.load(std::memory_order_relaxed))
        return false;
    const QByteArrayView view(bytes);
    runBothAtOnce([&] { m_starts = LineIndex::build(view, progress); },
                  [&] { m_utf16Before = utf16Counts(view); });
    m_bytes = std::move(bytes);
    return true;
}

bool PaneDocument::append(QByteArrayView bytes, Compare::Progress *progress)
{
    if (progress && progress->cancelled.load(std::memory_order_relaxed))
        return false;
    if (!bytes.isEmpty()) {
        const qsizetype from = m_bytes.size();
        m_bytes.append(bytes);
        if (m_bytes.size() != from + bytes.size())
            throw std::bad_alloc();
        LineIndex::extend(m_starts, m_bytes, from);
        // Whole blocks are counted now, off the window's thread, so that a
        // screen reader's first question costs what later ones do.
        constexpr qsizetype block = PaneView::kUtf16Block;
        for (qsizetype at = qsizetype(m_utf16Before.size() - 1) * block;
             at + block <= m_bytes.size(); at += block)
            m_utf16Before.push_back(
                m_utf16Before.back()
                + PaneBytes::utf16Length(QByteArrayView(m_bytes).sliced(at, block)));
    }
    if (progress)
        progress->add(bytes.size());
    return true;
}

TextBuffer PaneDocument::take()
{
    TextBuffer buffer(std::exchange(m_bytes, QByteArray()), std::exchange(m_starts, {}));
    return buffer;
}
