#include "text/ResultView.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "text/LineIndex.h"

namespace {

using Position = ResultView::Position;

// The longest stretch one entry holds: a line start is found by reading at
// most a chunk, and a chunk ends after the entry that passes kChunk bytes.
constexpr qint64 kMaxEntry = 4096;
constexpr Position kChunk = 4096;

} // namespace

ResultView::ResultView(QByteArray owner, QByteArrayView source)
    : m_owner(std::move(owner)), m_source(source.data())
{
    // Beyond what an entry can point at, and far beyond the memory a text
    // of that size would need besides.
    if (source.size() > Entry::kMaxSource)
        throw std::bad_alloc();
}

Position ResultView::lengthOf(const Entry &e) const
{
    if (e.offset() < 0)
        return 1;
    if (e.spaces() == kRaw)
        return e.length();
    return 2 + Position(e.length()) + e.spaces();
}

void ResultView::push(Entry e)
{
    m_entries.push_back(e);
}

void ResultView::line(qsizetype start, qsizetype length, bool crFollows)
{
    // A line is shown with the CR after it: with one in the source, the
    // line and its CR are one stretch there, and adjacent lines join.
    Position rest = length + (crFollows ? 1 : 0);
    Position at = start;
    if (!m_entries.empty()) {
        Entry &last = m_entries.back();
        if (last.spaces() == kRaw && last.offset() >= 0 && last.offset() + last.length() == at) {
            const Position joined = std::min<Position>(rest, kMaxEntry - last.length());
            last.setLength(last.length() + quint32(std::max<Position>(joined, 0)));
            at += std::max<Position>(joined, 0);
            rest -= std::max<Position>(joined, 0);
        }
    }
    for (; rest > 0; at += std::min(rest, kMaxEntry), rest -= kMaxEntry)
        push(Entry(at, quint32(std::min(rest, kMaxEntry)), kRaw));
    if (!crFollows)
        push(Entry(-1, 1, kRaw));
}

void ResultView::word(qsizetype start, qsizetype length)
{
    if (!m_entries.empty()) {
        Entry &last = m_entries.back();
        // The next word of the same line, one space after the last.
        if (last.spaces() != kRaw && last.offset() + last.length() + 1 == start
            && m_source[start - 1] == ' ' && last.length() + 1 + length <= kMaxEntry) {
            last.setLength(last.length() + quint32(1 + length));
            last.setSpaces(last.spaces() + 1);
            return;
        }
    }
    const Position first = std::min<Position>(length, kMaxEntry);
    push(Entry(start, quint32(first), 0));
    // A word longer than an entry goes on as it stands.
    for (Position at = start + first, rest = length - first; rest > 0;
         at += kMaxEntry, rest -= kMaxEntry)
        push(Entry(at, quint32(std::min(rest, kMaxEntry)), kRaw));
}

void ResultView::produce(const Entry &e, Position from, Position to, char *out) const
{
    if (from >= to)
        return;
    if (e.offset() < 0) {
        *out = '\r';
        return;
    }
    if (e.spaces() == kRaw) {
        std::memcpy(out, m_source + e.offset() + from, size_t(to - from));
        return;
    }
    // Words: CR LF, then the stretch with every space a CR LF.
    Position at = 0;
    const auto put = [&](char c) {
        if (at >= from && at < to)
            *out++ = c;
        ++at;
    };
    put('\r');
    put('\n');
    const char *p = m_source + e.offset();
    for (quint32 i = 0; i < e.length() && at < to; ++i) {
        if (p[i] == ' ') {
            put('\r');
            put('\n');
        } else {
            put(p[i]);
        }
    }
}

void ResultView::finish()
{
    m_chunks.clear();
    m_size = 0;
    Position starts = 0;
    Position sinceChunk = kChunk;
    char previous = 0;
    // Counts the line start before `c`, if any, as it follows `previous`.
    const auto step = [&](char c) {
        if (previous == '\n' || (previous == '\r' && c != '\n'))
            ++starts;
        previous = c;
    };
    for (size_t i = 0; i < m_entries.size(); ++i) {
        const Entry &e = m_entries[i];
        if (sinceChunk >= kChunk) {
            m_chunks.push_back({qint64(i), m_size, starts});
            sinceChunk = 0;
        }
        const Position n = lengthOf(e);
        const char *p = m_source + e.offset();
        if (e.offset() < 0) {
            step('\r');
        } else if (e.spaces() == kRaw) {
            // The examined text's own bytes: the starts inside them are
            // counted as its index counts them.
            step(p[0]);
            starts += LineIndex::count(QByteArrayView(p, n));
            previous = p[n - 1];
        } else {
            step('\r');
            step('\n');
            for (quint32 k = 0; k < e.length(); ++k) {
                if (p[k] == ' ') {
                    step('\r');
                    step('\n');
                } else {
                    step(p[k]);
                }
            }
        }
        m_size += n;
        sinceChunk += n;
    }
    if (m_chunks.empty())
        m_chunks.push_back({0, 0, 0});
}

qsizetype ResultView::chunkAt(Position position) const
{
    const auto it = std::upper_bound(m_chunks.begin(), m_chunks.end(), position,
                                     [](Position p, const Chunk &c) { return p < c.start; });
    return std::max<qsizetype>(qsizetype(it - m_chunks.begin()) - 1, 0);
}

void ResultView::read(Position from, Position length, char *out) const
{
    forEachSlice(from, length, [&out](QByteArrayView slice) {
        std::memcpy(out, slice.data(), size_t(slice.size()));
        out += slice.size();
    });
}

char ResultView::at(Position position) const
{
    if (position < 0 || position >= m_size)
        return 0;
    char c = 0;
    read(position, 1, &c);
    return c;
}

QByteArray ResultView::bytes(Position from, Position length) const
{
    from = std::clamp<Position>(from, 0, m_size);
    length = std::clamp<Position>(length, 0, m_size - from);
    QByteArray out(length, Qt::Uninitialized);
    read(from, length, out.data());
    return out;
}

Position ResultView::countStarts(Position from, Position to) const
{
    from = std::max<Position>(from, 1);
    to = std::min(to, m_size);
    if (from >= to)
        return 0;
    Position count = 0;
    char previous = at(from - 1);
    forEachSlice(from, to - from, [&](QByteArrayView slice) {
        for (const char c : slice) {
            if (previous == '\n' || (previous == '\r' && c != '\n'))
                ++count;
            previous = c;
        }
    });
    return count;
}

Position ResultView::startsUpTo(Position position) const
{
    position = std::min(position, m_size - 1);
    if (position < 1)
        return 0;
    const Chunk &c = m_chunks[size_t(chunkAt(position))];
    return c.startsBefore + countStarts(c.start, position + 1);
}

Position ResultView::startAfter(Position position, Position n) const
{
    const Position wanted = startsUpTo(position) + n; // counted from the text's start
    // The last chunk with fewer starts before it than wanted holds the start.
    const auto it = std::lower_bound(m_chunks.begin(), m_chunks.end(), wanted,
                                     [](const Chunk &c, Position w) { return c.startsBefore < w; });
    const Chunk &c = *(it == m_chunks.begin() ? it : it - 1);
    const Position end = it == m_chunks.end() ? m_size : it->start;
    Position count = c.startsBefore;
    Position at = std::max<Position>(c.start, 1);
    char previous = this->at(at - 1);
    Position found = m_size;
    forEachSlice(at, end - at, [&](QByteArrayView slice) {
        if (found < m_size)
            return;
        for (const char ch : slice) {
            if ((previous == '\n' || (previous == '\r' && ch != '\n')) && ++count == wanted) {
                found = at;
                return;
            }
            previous = ch;
            ++at;
        }
    });
    return found;
}
