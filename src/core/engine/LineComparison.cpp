#include "engine/LineComparison.h"

#include <algorithm>
#include <array>
#include <bit>
#include <vector>

#include <QHashFunctions>

namespace Compare {
namespace {

// How many pieces go by between two progress reports: often enough for a
// smooth bar, rare enough to cost nothing.
constexpr qsizetype piecesPerReport = 4096;

// Calls visit(piece, start, crFollows) for every piece of `text` cut at CR, in
// order. An empty text has no pieces; a text that ends with a CR has an empty
// last piece. Adds text.size() steps to `progress` in all.
template <typename Visit>
void forEachPiece(QStringView text, Progress *progress, Visit visit)
{
    if (text.isEmpty())
        return;
    qsizetype start = 0;
    qsizetype reported = 0;
    qsizetype pieces = 0;
    for (;;) {
        const qsizetype cr = text.indexOf(u'\r', start);
        const qsizetype end = cr < 0 ? text.size() : cr;
        visit(text.sliced(start, end - start), start, cr >= 0);
        if (cr < 0)
            break;
        start = cr + 1;
        if (progress && ++pieces % piecesPerReport == 0) {
            progress->add(start - reported);
            reported = start;
        }
    }
    if (progress)
        progress->add(text.size() - reported);
}

qsizetype pieceCount(QStringView text)
{
    if (text.isEmpty())
        return 0;
    qsizetype count = 1;
    for (qsizetype cr = text.indexOf(u'\r'); cr >= 0; cr = text.indexOf(u'\r', cr + 1))
        ++count;
    return count;
}

// The line a piece stands for: a CR LF break leaves its LF at the start of
// the next piece, and that LF must not make a line differ from a first line.
QStringView contentOf(QStringView piece)
{
    return piece.startsWith(u'\n') ? piece.sliced(1) : piece;
}

// Pieces go through the set in small batches: the slots (and then the
// texts) a whole batch needs are fetched from memory together, and those
// fetches are where a comparison of large files spends its time.
constexpr int batchSize = 64;

inline void prefetch(const void *address)
{
#if defined(__GNUC__)
    __builtin_prefetch(address);
#else
    Q_UNUSED(address);
#endif
}

// The distinct lines of a text. Each slot keeps its line's hash, so a probe
// reads the line itself only when the hashes agree.
class LineSet
{
public:
    explicit LineSet(qsizetype expectedLines)
        : m_seed(QHashSeed::globalSeed()),
          m_slots(std::bit_ceil(size_t(std::max<qsizetype>(expectedLines, 8)) * 2)),
          m_mask(m_slots.size() - 1)
    {
    }

    size_t hashOf(QStringView line) const { return qHash(line, m_seed); }

    // Starts fetching the slot where a probe for `hash` begins.
    void prefetchSlot(size_t hash) const { prefetch(&m_slots[hash & m_mask]); }

    // Starts fetching the line a probe for `hash` will most likely compare with.
    void prefetchLine(size_t hash) const
    {
        const Slot &slot = m_slots[hash & m_mask];
        if (slot.hash == hash && slot.size > 0) {
            prefetch(slot.data);
            prefetch(slot.data + slot.size - 1); // a line often spans two cache lines
        }
    }

    void insert(QStringView line, size_t hash)
    {
        Slot &slot = m_slots[slotFor(line, hash)];
        if (slot.size < 0)
            slot = {hash, line.data(), line.size()};
    }

    bool contains(QStringView line, size_t hash) const
    {
        return m_slots[slotFor(line, hash)].size >= 0;
    }

private:
    struct Slot
    {
        size_t hash = 0;
        const QChar *data = nullptr;
        qsizetype size = -1; // -1: free
    };

    // The slot that holds `line`, or the free slot where it belongs. The set
    // is never more than half full, so a free slot always comes.
    size_t slotFor(QStringView line, size_t hash) const
    {
        for (size_t at = hash & m_mask;; at = (at + 1) & m_mask) {
            const Slot &slot = m_slots[at];
            if (slot.size < 0
                || (slot.hash == hash && QStringView(slot.data, slot.size) == line))
                return at;
        }
    }

    size_t m_seed;
    std::vector<Slot> m_slots;
    size_t m_mask;
};

struct PendingPiece
{
    QStringView piece;
    QStringView content;
    qsizetype start;
    bool crFollows;
    size_t hash;
};

} // namespace

SideResult findLineDifferences(QStringView source, QStringView other, Progress *progress)
{
    if (progress)
        progress->total.fetch_add(source.size() + other.size(), std::memory_order_relaxed);
    LineSet otherLines(pieceCount(other));
    std::array<PendingPiece, batchSize> batch;
    int pending = 0;

    const auto insertBatch = [&] {
        for (int i = 0; i < pending; ++i)
            otherLines.insert(batch[size_t(i)].content, batch[size_t(i)].hash);
        pending = 0;
    };
    forEachPiece(other, progress, [&](QStringView piece, qsizetype start, bool crFollows) {
        const QStringView content = contentOf(piece);
        const size_t hash = otherLines.hashOf(content);
        otherLines.prefetchSlot(hash);
        batch[size_t(pending++)] = {piece, content, start, crFollows, hash};
        if (pending == batchSize)
            insertBatch();
    });
    insertBatch();

    SideResult result;
    std::vector<QStringView> differing;
    qsizetype resultLength = 0;
    const auto checkBatch = [&] {
        for (int i = 0; i < pending; ++i)
            otherLines.prefetchLine(batch[size_t(i)].hash);
        for (int i = 0; i < pending; ++i) {
            const PendingPiece &p = batch[size_t(i)];
            if (otherLines.contains(p.content, p.hash))
                continue;
            differing.push_back(p.piece);
            resultLength += p.piece.size() + 1;
            const qsizetype length = p.piece.size() + (p.crFollows ? 1 : 0);
            if (length > 0)
                result.red.push_back({p.start, length});
        }
        pending = 0;
    };
    forEachPiece(source, progress, [&](QStringView piece, qsizetype start, bool crFollows) {
        const QStringView content = contentOf(piece);
        const size_t hash = otherLines.hashOf(content);
        otherLines.prefetchSlot(hash);
        batch[size_t(pending++)] = {piece, content, start, crFollows, hash};
        if (pending == batchSize)
            checkBatch();
    });
    checkBatch();

    result.resultText.reserve(resultLength);
    for (QStringView piece : differing) {
        result.resultText.append(piece);
        result.resultText.append(u'\r');
    }
    result.differences = qsizetype(differing.size());
    return result;
}

} // namespace Compare
