#include "pane/PaneDocument.h"

#include <algorithm>
#include <mutex>
#include <new>
#include <utility>

#include "pane/PaneView.h"
#include "text/PaneBytes.h"
#include "text/TextBuffer.h"

namespace {

// A gathered text comes in pieces of this size: above the largest size the C
// library serves from its heaps, so that each goes back to the system when
// freed instead of staying with the process.
constexpr qsizetype kGatherPiece = qsizetype(64) << 20;
// The first piece is smaller: most results are a few lines.
constexpr qsizetype kFirstGatherPiece = qsizetype(1) << 20;
// The room a settled text is given beyond its own size, for the user's typing
// at its end and the line break a load adds.
constexpr qsizetype kSpareRoom = 4096;

} // namespace

PaneDocument::PaneDocument(Colours colours, qsizetype room, qsizetype reach)
{
    Q_UNUSED(colours);
    Q_UNUSED(reach);
    if (room > 0)
        m_bytes.reserve(room);
}

PaneDocument PaneDocument::forResultOf(qsizetype sourceBytes)
{
    Q_UNUSED(sourceBytes);
    return PaneDocument(Gathered{});
}

bool PaneDocument::append(QByteArrayView bytes, Compare::Progress *progress)
{
    if (progress && progress->cancelled.load(std::memory_order_relaxed))
        return false;
    if (m_gathered) {
        gather(bytes);
    } else if (!bytes.isEmpty()) {
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

void PaneDocument::gather(QByteArrayView bytes)
{
    std::vector<QByteArray> &pieces = m_gathered->pieces;
    if (pieces.empty() || pieces.back().size() + bytes.size() > pieces.back().capacity()) {
        const qsizetype piece = pieces.empty() ? kFirstGatherPiece : kGatherPiece;
        pieces.emplace_back();
        pieces.back().reserve(std::max(piece, bytes.size()));
    }
    pieces.back().append(bytes);
    m_gathered->size += bytes.size();
}

void PaneDocument::settle(const Compare::Progress *progress)
{
    if (!m_gathered)
        return;
    Gathered gathered = std::exchange(m_gathered, std::nullopt).value();
    // One text at a time: while it is put into its array, a text is held
    // twice.
    static std::mutex oneAtATime;
    const std::lock_guard hold(oneAtATime);
    *this = PaneDocument(Colours::None, gathered.size + kSpareRoom);
    for (QByteArray &piece : gathered.pieces) {
        if (progress && progress->cancelled.load(std::memory_order_relaxed)) {
            *this = PaneDocument();
            return;
        }
        append(piece);
        piece = QByteArray();
    }
}

TextBuffer PaneDocument::take()
{
    settle();
    TextBuffer buffer(std::exchange(m_bytes, QByteArray()), std::exchange(m_starts, {}));
    return buffer;
}
