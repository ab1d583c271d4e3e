#include "engine/LinePairComparison.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "engine/LinePieces.h"

namespace Compare {
namespace {

using namespace LinePieces;
using View = QByteArrayView;

// Which of the two half sets holds a line: a bit of its hash that neither
// picks its slot (for sets of fewer than 2^31 slots) nor is part of its tag.
int halfOf(std::uint64_t hash)
{
    return int((hash >> 31) & 1);
}

// Where a text is split between the threads: the piece starts in
// [bounds[k], bounds[k + 1]) are thread k's. The second half begins at the
// first piece after the middle; the last bound is past the empty piece a
// text ending with a CR has at its end.
std::array<qsizetype, 3> halves(View text)
{
    if (text.isEmpty())
        return {0, 0, 0};
    const qsizetype cr = text.indexOf('\r', text.size() / 2);
    const qsizetype middle = cr < 0 ? text.size() + 1 : cr + 1;
    return {0, middle, text.size() + 1};
}

// One bit for every slot of a set: whether a line of the first text was
// found there. Both threads mark, so a word is changed as a whole.
class SlotMarks
{
public:
    // (Not named "slots": Qt keeps that word for itself.)
    explicit SlotMarks(size_t slotCount) : m_words((slotCount + 63) / 64) {}

    void mark(qsizetype slot)
    {
        m_words[size_t(slot) / 64].fetch_or(std::uint64_t(1) << (slot % 64),
                                            std::memory_order_relaxed);
    }
    bool marked(qsizetype slot) const
    {
        return (m_words[size_t(slot) / 64].load(std::memory_order_relaxed) >> (slot % 64)) & 1;
    }

private:
    std::vector<std::atomic<std::uint64_t>> m_words;
};

template <typename Offset>
class PairRun
{
public:
    PairRun(View text1, View text2, const RunBoth &runBoth, Progress *progress)
        : m_text1(text1), m_text2(text2), m_runBoth(runBoth), m_progress(progress),
          m_halves1(halves(text1)), m_halves2(halves(text2))
    {
    }

    bool run(LinePairResult &result, Ranges ranges, ResultSink *sink1, ResultSink *sink2)
    {
        if (m_progress)
            m_progress->total.fetch_add(2 * m_text1.size() + 4 * m_text2.size(),
                                        std::memory_order_relaxed);
        const qsizetype expected = expectedDistinctLines(m_text2) / 2;
        both([&](int k) { buildHalfSet(k, expected); });
        if (cancelled())
            return false;
        m_marks[0] = std::make_unique<SlotMarks>(m_sets[0]->slotCount());
        m_marks[1] = std::make_unique<SlotMarks>(m_sets[1]->slotCount());
        both([&](int k) { probeFirst(k); });
        if (cancelled())
            return false;
        both([&](int k) { probeSecond(k); });
        if (cancelled())
            return false;
        m_sets = {};
        m_marks = {};
        both([&](int k) {
            if (k == 0)
                list(m_text1, m_halves1, m_differs1, result.in1, ranges, sink1);
            else
                list(m_text2, m_halves2, m_differs2, result.in2, ranges, sink2);
        });
        return !cancelled();
    }

private:
    using Set = LineSet<View, Offset>;

    bool cancelled() const
    {
        return m_progress && m_progress->cancelled.load(std::memory_order_relaxed);
    }

    template <typename Step>
    void both(Step step)
    {
        m_runBoth([&] { step(0); }, [&] { step(1); });
    }

    // Half set k: the distinct lines of text2 whose hashes pick it. Each
    // thread reads the whole text and keeps its own half, so no slot is ever
    // written by two threads.
    void buildHalfSet(int k, qsizetype expected)
    {
        m_sets[size_t(k)] = std::make_unique<Set>(m_text2, expected);
        Set &set = *m_sets[size_t(k)];
        std::array<PendingPiece<View>, batchSize> batch;
        int pending = 0;
        const auto insertBatch = [&] {
            for (int i = 0; i < pending; ++i)
                set.insert(batch[size_t(i)].content, batch[size_t(i)].hash);
            pending = 0;
        };
        bool hasEnd = false;
        forEachPiece(m_text2, m_progress, [&](View piece, qsizetype start, bool crFollows) {
            if (isEndPiece(m_text2, piece, start, crFollows)) {
                hasEnd = true;
                return;
            }
            const View content = contentOf(piece);
            const std::uint64_t hash = set.hashOf(content);
            if (halfOf(hash) != k)
                return;
            set.prefetchSlot(hash);
            batch[size_t(pending++)] = {piece, content, start, crFollows, false, hash};
            if (pending == batchSize)
                insertBatch();
        });
        insertBatch();
        if (k == 0)
            m_hasEnd2 = hasEnd;
    }

    // Looks up the pieces of half k of `text` in the sets, a batch at a
    // time; found(piece, slot) is told each one's slot, or -1 when its line
    // is in no set (and end pieces are told -2).
    template <typename Found>
    void lookUp(View text, const std::array<qsizetype, 3> &bounds, int k, Found found)
    {
        std::array<PendingPiece<View>, batchSize> batch;
        int pending = 0;
        const auto checkBatch = [&] {
            for (int i = 0; i < pending; ++i) {
                const PendingPiece<View> &p = batch[size_t(i)];
                if (!p.end)
                    m_sets[size_t(halfOf(p.hash))]->prefetchLine(p.content, p.hash);
            }
            for (int i = 0; i < pending; ++i) {
                const PendingPiece<View> &p = batch[size_t(i)];
                found(p, p.end ? -2 : m_sets[size_t(halfOf(p.hash))]->find(p.content, p.hash));
            }
            pending = 0;
        };
        forEachPieceIn(text, bounds[size_t(k)], bounds[size_t(k) + 1], m_progress,
                       [&](View piece, qsizetype start, bool crFollows) {
                           const View content = contentOf(piece);
                           const bool end = isEndPiece(text, piece, start, crFollows);
                           const std::uint64_t hash = m_sets[0]->hashOf(content);
                           if (!end)
                               m_sets[size_t(halfOf(hash))]->prefetchSlot(hash);
                           batch[size_t(pending++)] = {piece, content, start, crFollows, end, hash};
                           if (pending == batchSize)
                               checkBatch();
                       });
        checkBatch();
    }

    // Half k of text1: which pieces differ, and the slots of those that do not.
    void probeFirst(int k)
    {
        std::vector<bool> &differs = m_differs1[size_t(k)];
        bool hasEnd = false;
        lookUp(m_text1, m_halves1, k, [&](const PendingPiece<View> &p, qsizetype slot) {
            if (slot == -2) {
                hasEnd = true;
                differs.push_back(!m_hasEnd2);
                return;
            }
            if (slot >= 0)
                m_marks[size_t(halfOf(p.hash))]->mark(slot);
            differs.push_back(slot < 0);
        });
        if (hasEnd)
            m_hasEnd1 = true; // only the half with the text's end sets it
    }

    // Half k of text2: a piece differs when no line of text1 marked its slot.
    void probeSecond(int k)
    {
        std::vector<bool> &differs = m_differs2[size_t(k)];
        lookUp(m_text2, m_halves2, k, [&](const PendingPiece<View> &p, qsizetype slot) {
            if (slot == -2)
                differs.push_back(!m_hasEnd1);
            else
                differs.push_back(slot < 0 || !m_marks[size_t(halfOf(p.hash))]->marked(slot));
        });
    }

    // The differing pieces of `text` into its result, in order.
    void list(View text, const std::array<qsizetype, 3> &bounds,
              const std::array<std::vector<bool>, 2> &differs, ByteSideResult &result,
              Ranges ranges, ResultSink *sink)
    {
        ResultWriter<QByteArray> writer(result.resultText, sink);
        for (int k = 0; k < 2; ++k) {
            size_t i = 0;
            const std::vector<bool> &half = differs[size_t(k)];
            const bool read = forEachPieceIn(
                text, bounds[size_t(k)], bounds[size_t(k) + 1], m_progress,
                [&](View piece, qsizetype start, bool crFollows) {
                    if (half[i++])
                        addDifference(result, writer, ranges, text, start, piece.size(), crFollows);
                });
            if (!read)
                return;
        }
    }

    View m_text1;
    View m_text2;
    const RunBoth &m_runBoth;
    Progress *m_progress;
    std::array<qsizetype, 3> m_halves1;
    std::array<qsizetype, 3> m_halves2;
    std::array<std::unique_ptr<Set>, 2> m_sets;
    std::array<std::unique_ptr<SlotMarks>, 2> m_marks;
    std::array<std::vector<bool>, 2> m_differs1;
    std::array<std::vector<bool>, 2> m_differs2;
    bool m_hasEnd1 = false;
    bool m_hasEnd2 = false;
};

} // namespace

LinePairResult findLineDifferencesOfBoth(QByteArrayView text1, QByteArrayView text2,
                                         const RunBoth &runBoth, Progress *progress, Ranges ranges,
                                         ResultSink *sink1, ResultSink *sink2)
{
    LinePairResult result;
    // Offsets of 32 bits halve the set for any text of fewer than 4 GiB.
    const bool ran = quint64(text2.size()) < std::numeric_limits<std::uint32_t>::max()
                         ? PairRun<std::uint32_t>(text1, text2, runBoth, progress)
                               .run(result, ranges, sink1, sink2)
                         : PairRun<std::uint64_t>(text1, text2, runBoth, progress)
                               .run(result, ranges, sink1, sink2);
    return ran ? result : LinePairResult();
}

} // namespace Compare
