#pragma once

#include <algorithm>
#include <deque>
#include <vector>

#include <QByteArray>
#include <QByteArrayView>

#include "engine/ResultSink.h"

// The text of a comparison's result, kept as where its entries lie in the
// examined text rather than as a copy of them: a differing line is the
// stretch it fills there (adjacent lines one stretch), a run of differing
// words of one line is the stretch they fill, shown with a CR LF before each
// word in place of the space between them. The bytes are made when read.
//
// It keeps the examined bytes alive (they are never changed: the array is
// shared). Lines start as LineIndex counts them: after an LF, or after a CR
// that no LF follows, never at the text's very end. Reading costs the
// bytes read; a line's start costs a logarithm of the text plus a few KiB.
// Once finished, every member may be called on any thread at once.
class ResultView final : public Compare::ResultSink
{
public:
    using Position = qint64;

    // `source` lies within `owner`, which keeps it alive.
    ResultView(QByteArray owner, QByteArrayView source);
    ResultView(const ResultView &) = delete;
    ResultView &operator=(const ResultView &) = delete;

    void line(qsizetype start, qsizetype length, bool crFollows) override;
    void word(qsizetype start, qsizetype length) override;
    // Indexes the text made; once, after the last entry.
    void finish();

    Position size() const { return m_size; }
    // Bytes [from, from + length), which must lie within the text, to `out`.
    void read(Position from, Position length, char *out) const;
    char at(Position position) const;
    QByteArray bytes(Position from, Position length) const;
    // Hands the bytes of [from, from + length) to `take` in order, a few KiB
    // or a stretch of the examined text at a time.
    template <typename Take>
    void forEachSlice(Position from, Position length, Take take) const;

    // How many lines start at or before `position`.
    Position startsUpTo(Position position) const;
    // Where the n-th line start after `position` is (n >= 1), or size() when
    // there are fewer.
    Position startAfter(Position position, Position n) const;

private:
    // A stretch of the examined text, shown as it is (kRaw), or as words
    // (`spaces` of them are in it, each shown as a CR LF, and a CR LF comes
    // first). An entry at offset -1 is a lone CR that follows no stretch.
    // Packed in 8 bytes, as tens of millions of them may be kept: the offset
    // (plus one) in 38 bits, the length and the spaces in 13 bits each.
    static constexpr quint32 kRaw = 0x1FFF;
    class Entry
    {
    public:
        Entry(qint64 offset, quint32 length, quint32 spaces)
            : m_bits(quint64(offset + 1) | quint64(length) << kLengthShift
                     | quint64(spaces) << kSpacesShift)
        {
        }
        qint64 offset() const { return qint64(m_bits & kOffsetMask) - 1; }
        quint32 length() const { return quint32(m_bits >> kLengthShift) & kRaw; }
        quint32 spaces() const { return quint32(m_bits >> kSpacesShift) & kRaw; }
        void setLength(quint32 length) { *this = Entry(offset(), length, spaces()); }
        void setSpaces(quint32 spaces) { *this = Entry(offset(), length(), spaces); }

        // The largest examined text an entry can point into: 256 GiB.
        static constexpr qint64 kMaxSource = (qint64(1) << 38) - 2;

    private:
        static constexpr int kLengthShift = 38;
        static constexpr int kSpacesShift = 51;
        static constexpr quint64 kOffsetMask = (quint64(1) << 38) - 1;
        quint64 m_bits;
    };

    // Every few KiB of the text: its first entry, where that entry starts in
    // the text, and how many lines start before there.
    struct Chunk
    {
        qint64 entry;
        Position start;
        Position startsBefore;
    };

    Position lengthOf(const Entry &e) const;
    // Writes bytes [from, to) of entry `e` to `out`.
    void produce(const Entry &e, Position from, Position to, char *out) const;
    void push(Entry e);
    qsizetype chunkAt(Position position) const;
    // Line starts s with from <= s < to.
    Position countStarts(Position from, Position to) const;

    QByteArray m_owner;
    const char *m_source;
    // In blocks: tens of millions of entries are never moved to a larger
    // array, nor kept with up to as much again unused.
    std::deque<Entry> m_entries;
    std::vector<Chunk> m_chunks;
    Position m_size = 0;
};

template <typename Take>
void ResultView::forEachSlice(Position from, Position length, Take take) const
{
    constexpr Position kSlice = 16384;
    char buffer[kSlice];
    const Position end = from + length;
    if (length <= 0)
        return;
    const qsizetype c = chunkAt(from);
    Position at = m_chunks[size_t(c)].start;
    for (size_t i = size_t(m_chunks[size_t(c)].entry); i < m_entries.size() && at < end; ++i) {
        const Entry &e = m_entries[i];
        const Position n = lengthOf(e);
        const Position a = std::max(from, at) - at;
        const Position b = std::min(end, at + n) - at;
        at += n;
        if (a >= b)
            continue;
        if (e.spaces() == kRaw && e.offset() >= 0) {
            take(QByteArrayView(m_source + e.offset() + a, b - a));
            continue;
        }
        for (Position p = a; p < b; p += kSlice) {
            const Position q = std::min(b, p + kSlice);
            produce(e, p, q, buffer);
            take(QByteArrayView(buffer, q - p));
        }
    }
}
