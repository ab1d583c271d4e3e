#include "engine/LineComparison.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <vector>

#include <QHashFunctions>

#include "engine/TextUnits.h"

namespace Compare {
namespace {

// How many pieces go by between two progress reports: often enough for a
// smooth bar, rare enough to cost nothing.
constexpr qsizetype piecesPerReport = 4096;

// Calls visit(piece, start, crFollows) for every piece of `text` cut at CR, in
// order. An empty text has no pieces; a text that ends with a CR has an empty
// last piece. Adds text.size() steps to `progress` in all.
template <typename View, typename Visit>
void forEachPiece(View text, Progress *progress, Visit visit)
{
    if (text.isEmpty())
        return;
    qsizetype start = 0;
    qsizetype reported = 0;
    qsizetype pieces = 0;
    for (;;) {
        const qsizetype cr = text.indexOf(TextUnits<View>::cr, start);
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

template <typename View>
View contentOf(View piece);

template <typename View>
qsizetype pieceCount(View text)
{
    if (text.isEmpty())
        return 0;
    qsizetype count = 1;
    for (qsizetype cr = text.indexOf(TextUnits<View>::cr); cr >= 0;
         cr = text.indexOf(TextUnits<View>::cr, cr + 1))
        ++count;
    return count;
}

// About how many distinct lines a text has, from its first few thousand: a
// set sized for all its lines when they all differ, and small for a text of
// mostly equal lines, so that it neither grows nor wastes memory.
template <typename View>
qsizetype expectedDistinctLines(View text)
{
    constexpr int kSample = 4096;
    const qsizetype pieces = pieceCount(text);
    std::vector<size_t> hashes;
    hashes.reserve(kSample);
    qsizetype from = 0;
    while (from <= text.size() && qsizetype(hashes.size()) < std::min<qsizetype>(pieces, kSample)) {
        const qsizetype cr = text.indexOf(TextUnits<View>::cr, from);
        const qsizetype end = cr < 0 ? text.size() : cr;
        hashes.push_back(qHash(contentOf(text.sliced(from, end - from))));
        from = end + 1;
        if (cr < 0)
            break;
    }
    if (hashes.empty())
        return 0;
    std::sort(hashes.begin(), hashes.end());
    const auto distinct = qsizetype(std::unique(hashes.begin(), hashes.end()) - hashes.begin());
    return pieces * distinct / qsizetype(hashes.size());
}

// The line a piece stands for: a CR LF break leaves its LF at the start of
// the next piece, and that LF must not make a line differ from a first line.
template <typename View>
View contentOf(View piece)
{
    return piece.startsWith(TextUnits<View>::lf) ? piece.sliced(1) : piece;
}

template <typename View>
bool sameText(View a, View b)
{
    return a.size() == b.size()
           && std::memcmp(a.data(), b.data(), size_t(a.size()) * sizeof(*a.data())) == 0;
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
// reads the line itself only when the hashes agree. The set is sized for the
// lines expected and doubles if it fills.
template <typename View>
class LineSet
{
public:
    explicit LineSet(qsizetype expectedLines)
        : m_seed(QHashSeed::globalSeed()),
          m_slots(std::bit_ceil(size_t(std::max<qsizetype>(expectedLines, 8)) * 2)),
          m_mask(m_slots.size() - 1)
    {
    }

    size_t hashOf(View line) const { return qHash(line, m_seed); }

    // Starts fetching the slot where a probe for `hash` begins.
    void prefetchSlot(size_t hash) const { prefetch(&m_slots[hash & m_mask]); }

    // Starts fetching the line a probe for `hash` will most likely compare with.
    void prefetchLine(size_t hash) const
    {
        const Slot &slot = m_slots[hash & m_mask];
        if (slot.hash == hash && slot.line.size() > 0) {
            prefetch(slot.line.data());
            prefetch(slot.line.data() + slot.line.size() - 1); // often two cache lines
        }
    }

    void insert(View line, size_t hash)
    {
        Slot &slot = m_slots[slotFor(line, hash)];
        if (slot.line.data())
            return;
        slot = {hash, line.data() ? line : View(m_empty, 0)};
        if (++m_used * 2 > qsizetype(m_slots.size()))
            grow();
    }

    bool contains(View line, size_t hash) const
    {
        return m_slots[slotFor(line, hash)].line.data() != nullptr;
    }

private:
    struct Slot
    {
        size_t hash = 0;
        View line; // no data: free
    };

    // The slot that holds `line`, or the free slot where it belongs. The set
    // is never more than half full, so a free slot always comes.
    size_t slotFor(View line, size_t hash) const
    {
        for (size_t at = hash & m_mask;; at = (at + 1) & m_mask) {
            const Slot &slot = m_slots[at];
            if (!slot.line.data() || (slot.hash == hash && sameText(slot.line, line)))
                return at;
        }
    }

    void grow()
    {
        std::vector<Slot> old(m_slots.size() * 2);
        old.swap(m_slots);
        m_mask = m_slots.size() - 1;
        for (const Slot &slot : old) {
            if (!slot.line.data())
                continue;
            size_t at = slot.hash & m_mask;
            while (m_slots[at].line.data())
                at = (at + 1) & m_mask;
            m_slots[at] = slot;
        }
    }

    static constexpr typename View::storage_type m_empty[1] = {};
    size_t m_seed;
    std::vector<Slot> m_slots;
    size_t m_mask;
    qsizetype m_used = 0;
};

template <typename View>
struct PendingPiece
{
    View piece;
    View content;
    qsizetype start;
    bool crFollows;
    size_t hash;
};

template <typename View, typename Text = typename TextUnits<View>::Text>
BasicSideResult<Text> findDifferences(View source, View other, Progress *progress, Ranges ranges,
                                      ResultSink *sink)
{
    if (progress)
        progress->total.fetch_add(source.size() + other.size(), std::memory_order_relaxed);
    LineSet<View> otherLines(expectedDistinctLines(other));
    std::array<PendingPiece<View>, batchSize> batch;
    int pending = 0;

    const auto insertBatch = [&] {
        for (int i = 0; i < pending; ++i)
            otherLines.insert(batch[size_t(i)].content, batch[size_t(i)].hash);
        pending = 0;
    };
    forEachPiece(other, progress, [&](View piece, qsizetype start, bool crFollows) {
        const View content = contentOf(piece);
        const size_t hash = otherLines.hashOf(content);
        otherLines.prefetchSlot(hash);
        batch[size_t(pending++)] = {piece, content, start, crFollows, hash};
        if (pending == batchSize)
            insertBatch();
    });
    insertBatch();

    BasicSideResult<Text> result;
    ResultWriter<Text> text(result.resultText, sink);
    const auto checkBatch = [&] {
        for (int i = 0; i < pending; ++i)
            otherLines.prefetchLine(batch[size_t(i)].hash);
        for (int i = 0; i < pending; ++i) {
            const PendingPiece<View> &p = batch[size_t(i)];
            if (otherLines.contains(p.content, p.hash))
                continue;
            text.append(p.piece);
            text.append(TextUnits<View>::cr);
            ++result.differences;
            const qsizetype length = p.piece.size() + (p.crFollows ? 1 : 0);
            if (length <= 0)
                continue;
            ColourRange *last = result.red.empty() ? nullptr : &result.red.back();
            if (ranges == Ranges::Joined && last && last->start + last->length == p.start)
                last->length += length;
            else
                result.red.push_back({p.start, length});
        }
        pending = 0;
    };
    forEachPiece(source, progress, [&](View piece, qsizetype start, bool crFollows) {
        const View content = contentOf(piece);
        const size_t hash = otherLines.hashOf(content);
        otherLines.prefetchSlot(hash);
        batch[size_t(pending++)] = {piece, content, start, crFollows, hash};
        if (pending == batchSize)
            checkBatch();
    });
    checkBatch();
    text.flush();
    return result;
}

} // namespace

SideResult findLineDifferences(QStringView source, QStringView other, Progress *progress)
{
    return findDifferences(source, other, progress, Ranges::AsFound, nullptr);
}

ByteSideResult findLineDifferences(QByteArrayView source, QByteArrayView other, Progress *progress,
                                   Ranges ranges, ResultSink *sink)
{
    return findDifferences(source, other, progress, ranges, sink);
}

} // namespace Compare
