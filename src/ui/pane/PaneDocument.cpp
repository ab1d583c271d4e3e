#include "pane/PaneDocument.h"

#include <new>
#include <utility>

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
