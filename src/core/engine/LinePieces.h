#pragma once

// What the line comparisons share: texts cut into pieces at CR, the lines
// the pieces stand for, and a set of the distinct lines of a text.

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include <QHashFunctions>

#include "csv/LargeArrays.h"
#include "engine/LineHash.h"
#include "engine/Progress.h"
#include "engine/SideResult.h"
#include "engine/TextUnits.h"

namespace Compare::LinePieces {

// How many pieces go by between two progress reports: often enough for a
// smooth bar, rare enough to cost nothing.
constexpr qsizetype piecesPerReport = 4096;

// Calls visit(piece, start, crFollows) for every piece of `text` (cut at CR)
// that starts in [from, to), in order: a part of the text, as a thread takes
// it. Adds the bytes from `from` to the end of the part to `progress`. False
// when the progress was cancelled before the part's last piece.
template <typename View, typename Visit>
bool forEachPieceIn(View text, qsizetype from, qsizetype to, Progress *progress, Visit visit)
{
    const qsizetype last = std::min(to, text.size());
    qsizetype start = from;
    PassProgress steps(progress, std::min(from, last));
    qsizetype pieces = 0;
    while (start < to) {
        const qsizetype cr = text.indexOf(TextUnits<View>::cr, start);
        const qsizetype end = cr < 0 ? text.size() : cr;
        visit(text.sliced(start, end - start), start, cr >= 0);
        if (cr < 0)
            break;
        start = cr + 1;
        if (progress && ++pieces % piecesPerReport == 0 && steps.cancelledAt(std::min(start, last)))
            return false;
    }
    steps.cancelledAt(last); // the rest of the part told: it is done
    return true;
}

// The same over the whole text. An empty text has no pieces; a text that
// ends with a CR has an empty last piece. Adds text.size() steps in all.
template <typename View, typename Visit>
bool forEachPiece(View text, Progress *progress, Visit visit)
{
    return text.isEmpty() || forEachPieceIn(text, 0, text.size() + 1, progress, visit);
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

// Whether a piece is part of the text's end rather than a line: a text that
// ends with a CR (as loading leaves every text) ends with an empty piece, and
// the empty line before that CR is the file's own last break, or an empty
// file. Neither is a line of the file; the end of one text equals only the
// end of another, so an empty line the other file lacks is still found.
template <typename View>
bool isEndPiece(View text, View piece, qsizetype start, bool crFollows)
{
    if (!crFollows)
        return piece.isEmpty();
    return start + piece.size() + 1 == text.size() && contentOf(piece).isEmpty();
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

// The distinct lines of a text, each kept as the offset where it starts in
// that text, with 32 bits of its hash: a probe reads the line itself only
// when those agree, and its end is the CR after it (or the text's end). Small
// slots keep the whole set in the processor's caches as far as they can. The
// set is sized for the lines expected and doubles if it fills.
template <typename View, typename Offset>
class LineSet
{
    using Pointer = typename View::const_pointer;
    using Unit = typename View::value_type;

public:
    LineSet(View text, qsizetype expectedLines)
        : m_text(text.data()), m_size(text.size()),
          m_seed(LineHash::prepareSeed(QHashSeed::globalSeed())),
          m_slots(Csv::largeArray(
              std::bit_ceil(size_t(std::max<qsizetype>(expectedLines, 8) * 4 / 3 + 1)), Slot{})),
          m_mask(m_slots.size() - 1)
    {
    }

    std::uint64_t hashOf(View line) const
    {
        return LineHash::hash(line.data(), size_t(line.size()) * sizeof(Unit), m_seed);
    }

    // Starts fetching the slot where a probe for `hash` begins.
    void prefetchSlot(std::uint64_t hash) const { prefetch(&m_slots[hash & m_mask]); }

    // Starts fetching the text a probe for `line` will most likely compare with.
    void prefetchLine(View line, std::uint64_t hash) const
    {
        const Slot &slot = m_slots[hash & m_mask];
        if (slot.offset != kFree && slot.tag == tagOf(hash)) {
            prefetch(m_text + slot.offset);
            prefetch(m_text + slot.offset + line.size()); // often two cache lines
        }
    }

    // `line` is a line of the set's own text.
    void insert(View line, std::uint64_t hash)
    {
        Slot &slot = m_slots[slotFor(line, hash)];
        if (slot.offset != kFree)
            return;
        slot = {tagOf(hash), Offset(line.data() - m_text)};
        if (++m_used * 4 > qsizetype(m_slots.size()) * 3)
            grow();
    }

    bool contains(View line, std::uint64_t hash) const
    {
        return m_slots[slotFor(line, hash)].offset != kFree;
    }

    // The slot that holds `line`, or -1; a slot keeps its line until the set
    // grows.
    qsizetype find(View line, std::uint64_t hash) const
    {
        const size_t at = slotFor(line, hash);
        return m_slots[at].offset == kFree ? -1 : qsizetype(at);
    }

    size_t slotCount() const { return m_slots.size(); }

private:
    static constexpr Offset kFree = std::numeric_limits<Offset>::max();

    struct Slot
    {
        std::uint32_t tag = 0;
        Offset offset = kFree;
    };

    static std::uint32_t tagOf(std::uint64_t hash) { return std::uint32_t(hash >> 32); }

    // Whether the line at `offset` of the text is `line`: the same units, and
    // there its line ends.
    bool holds(Offset offset, View line) const
    {
        const qsizetype end = qsizetype(offset) + line.size();
        if (end > m_size || (end < m_size && m_text[end] != TextUnits<View>::cr))
            return false;
        return std::memcmp(m_text + offset, line.data(), size_t(line.size()) * sizeof(Unit)) == 0;
    }

    // The slot that holds `line`, or the free slot where it belongs. The set
    // is never more than three quarters full, so a free slot always comes.
    size_t slotFor(View line, std::uint64_t hash) const
    {
        const std::uint32_t tag = tagOf(hash);
        for (size_t at = hash & m_mask;; at = (at + 1) & m_mask) {
            const Slot &slot = m_slots[at];
            if (slot.offset == kFree || (slot.tag == tag && holds(slot.offset, line)))
                return at;
        }
    }

    // Slots keep only part of a hash, so each line is hashed again.
    void grow()
    {
        std::vector<Slot> old = Csv::largeArray(m_slots.size() * 2, Slot{});
        old.swap(m_slots);
        m_mask = m_slots.size() - 1;
        const View text(m_text, m_size);
        for (const Slot &slot : old) {
            if (slot.offset == kFree)
                continue;
            const qsizetype cr = text.indexOf(TextUnits<View>::cr, qsizetype(slot.offset));
            const qsizetype end = cr < 0 ? m_size : cr;
            const std::uint64_t hash =
                hashOf(text.sliced(qsizetype(slot.offset), end - qsizetype(slot.offset)));
            size_t at = hash & m_mask;
            while (m_slots[at].offset != kFree)
                at = (at + 1) & m_mask;
            m_slots[at] = slot;
        }
    }

    Pointer m_text;
    qsizetype m_size;
    std::uint64_t m_seed;
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
    bool end;
    std::uint64_t hash;
};

// Adds a differing piece of `source` to a result: its text (or its place, to
// a sink), its count, and its red range with the CR after it.
template <typename View, typename Text>
void addDifference(BasicSideResult<Text> &result, ResultWriter<Text> &text, Ranges ranges,
                   View source, qsizetype start, qsizetype pieceSize, bool crFollows)
{
    text.line(source, start, pieceSize, crFollows);
    ++result.differences;
    const qsizetype length = pieceSize + (crFollows ? 1 : 0);
    if (length <= 0)
        return;
    ColourRange *last = result.red.empty() ? nullptr : &result.red.back();
    if (ranges == Ranges::Joined && last && last->start + last->length == start)
        last->length += length;
    else
        result.red.push_back({start, length});
}

} // namespace Compare::LinePieces
