#include "engine/LineComparison.h"

#include <array>
#include <cstdint>
#include <limits>

#include "base/LastByte.h"
#include "engine/LinePieces.h"

namespace Compare {
namespace {

using namespace LinePieces;

template <typename Offset, typename View, typename Text = typename TextUnits<View>::Text>
BasicSideResult<Text> findDifferencesWith(View source, View other, Progress *progress,
                                          Ranges ranges, ResultSink *sink)
{
    if (progress)
        progress->total.fetch_add(source.size() + other.size(), std::memory_order_relaxed);
    LineSet<View, Offset> otherLines(other, expectedDistinctLines(other));
    std::array<PendingPiece<View>, batchSize> batch;
    int pending = 0;

    const auto insertBatch = [&] {
        for (int i = 0; i < pending; ++i)
            otherLines.insert(batch[size_t(i)].content, batch[size_t(i)].hash);
        pending = 0;
    };
    bool otherHasEnd = false;
    const bool read =
        forEachPiece(other, progress, [&](View piece, qsizetype start, bool crFollows) {
            if (isEndPiece(other, piece, start, crFollows)) {
                otherHasEnd = true;
                return;
            }
            const View content = contentOf(piece);
            const size_t hash = otherLines.hashOf(content);
            otherLines.prefetchSlot(hash);
            batch[size_t(pending++)] = {piece, content, start, crFollows, false, hash};
            if (pending == batchSize)
                insertBatch();
        });
    BasicSideResult<Text> result;
    if (!read)
        return result; // cancelled: nothing found
    insertBatch();

    ResultWriter<Text> text(result.resultText, sink);
    const auto checkBatch = [&] {
        for (int i = 0; i < pending; ++i)
            otherLines.prefetchLine(batch[size_t(i)].content, batch[size_t(i)].hash);
        for (int i = 0; i < pending; ++i) {
            const PendingPiece<View> &p = batch[size_t(i)];
            if (p.end ? otherHasEnd : otherLines.contains(p.content, p.hash))
                continue;
            addDifference(result, text, ranges, source, p.start, p.piece.size(), p.crFollows);
        }
        pending = 0;
    };
    forEachPiece(source, progress, [&](View piece, qsizetype start, bool crFollows) {
        const View content = contentOf(piece);
        const size_t hash = otherLines.hashOf(content);
        otherLines.prefetchSlot(hash);
        const bool end = isEndPiece(source, piece, start, crFollows);
        batch[size_t(pending++)] = {piece, content, start, crFollows, end, hash};
        if (pending == batchSize)
            checkBatch();
    });
    checkBatch();
    return result;
}

template <typename View, typename Text = typename TextUnits<View>::Text>
BasicSideResult<Text> findDifferences(View source, View other, Progress *progress, Ranges ranges,
                                      ResultSink *sink)
{
    // Offsets of 32 bits take a third of the memory of offsets of 64 bits
    // with their padding, for any text of fewer than 4 Gi units.
    if (quint64(other.size()) < std::numeric_limits<std::uint32_t>::max())
        return findDifferencesWith<std::uint32_t>(source, other, progress, ranges, sink);
    return findDifferencesWith<std::uint64_t>(source, other, progress, ranges, sink);
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

namespace {

// Where the last CR of text[from, to) is, or from - 1.
qsizetype lastCr(QByteArrayView text, qsizetype from, qsizetype to)
{
    const char *cr = lastByte(text.data() + from, size_t(std::max<qsizetype>(to - from, 0)), '\r');
    return cr ? cr - text.data() : from - 1;
}

} // namespace

ColourRange lastPieceOf(QByteArrayView source, ColourRange run)
{
    const qsizetype end = run.start + run.length;
    qsizetype to = end;
    if (to > run.start && source[to - 1] == '\r')
        --to; // the piece's own CR
    const qsizetype at = lastCr(source, run.start, to);
    return {at + 1, end - (at + 1)};
}

} // namespace Compare
