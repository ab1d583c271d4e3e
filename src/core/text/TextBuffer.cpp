#include "text/TextBuffer.h"

#include <algorithm>
#include <atomic>

namespace {

using Position = TextBuffer::Position;

bool isBreak(char last, int next)
{
    return last == '\n' || (last == '\r' && next != '\n');
}

} // namespace

TextBuffer::TextBuffer(QByteArray loaded) : TextBuffer(loaded, LineIndex::build(loaded)) {}

TextBuffer::TextBuffer(QByteArray loaded, LineIndex::Starts starts)
    : m_loaded(std::move(loaded)), m_loadedStarts(std::move(starts))
{
    if (!m_loaded.isEmpty())
        m_pieces.push_back(makePiece(Source::Loaded, 0, m_loaded.size()));
    recount();
}

TextBuffer::TextBuffer(std::shared_ptr<const ResultView> view) : m_view(std::move(view))
{
    if (m_view && m_view->size() > 0)
        m_pieces.push_back(makePiece(Source::View, 0, m_view->size()));
    recount();
}

void TextBuffer::ownResultBytes(QByteArray whole, LineIndex::Starts starts)
{
    const auto fromView = [](const Piece &p) { return p.source == Source::View; };
    bool shown = std::any_of(m_pieces.begin(), m_pieces.end(), fromView);
    for (const Change &c : m_history)
        shown = shown || std::any_of(c.removed.begin(), c.removed.end(), fromView)
                || std::any_of(c.inserted.begin(), c.inserted.end(), fromView);
    m_view.reset();
    if (!shown)
        return;
    // The loaded bytes are empty while a result is shown (append() fills
    // them only when no piece is left), so the result's offsets stay valid.
    Q_ASSERT(m_loaded.isEmpty() && whole.size() > 0);
    m_loaded = std::move(whole);
    m_loadedStarts = std::move(starts);
    const auto own = [](Piece &p) {
        if (p.source == Source::View)
            p.source = Source::Loaded;
    };
    std::for_each(m_pieces.begin(), m_pieces.end(), own);
    for (Change &c : m_history) {
        std::for_each(c.removed.begin(), c.removed.end(), own);
        std::for_each(c.inserted.begin(), c.inserted.end(), own);
    }
}

char TextBuffer::byteOf(Source source, Position at) const
{
    return source == Source::View ? m_view->at(at) : bytesOf(source)[at];
}

Position TextBuffer::startsWithin(Source source, Position from, Position to) const
{
    if (to <= from)
        return 0;
    if (source == Source::View)
        return m_view->startsUpTo(to) - m_view->startsUpTo(from);
    const LineIndex::Starts &starts = startsOf(source);
    const qint64 first = starts.upperBound(from);
    return Position(starts.upperBound(to, first) - first);
}

const QByteArray &TextBuffer::bytesOf(Source source) const
{
    return source == Source::Loaded ? m_loaded : m_added;
}

const LineIndex::Starts &TextBuffer::startsOf(Source source) const
{
    return source == Source::Loaded ? m_loadedStarts : m_addedStarts;
}

TextBuffer::Piece TextBuffer::makePiece(Source source, Position start, Position length) const
{
    return {source, start, length, startsWithin(source, start, start + length - 1)};
}

Position TextBuffer::lengthOf(const std::vector<Piece> &pieces) const
{
    Position length = 0;
    for (const Piece &p : pieces)
        length += p.length;
    return length;
}

void TextBuffer::recount()
{
    const size_t count = m_pieces.size();
    m_pieceStart.resize(count);
    m_breaksBefore.resize(count);
    Position at = 0;
    Position breaks = 0;
    for (size_t i = 0; i < count; ++i) {
        const Piece &p = m_pieces[i];
        m_pieceStart[i] = at;
        m_breaksBefore[i] = breaks;
        at += p.length;
        breaks += p.interiorStarts;
        const char last = byteOf(p.source, p.start + p.length - 1);
        const int next = i + 1 < count ? byteOf(m_pieces[i + 1].source, m_pieces[i + 1].start) : -1;
        if (isBreak(last, next))
            ++breaks;
    }
    m_size = at;
    m_breaks = breaks;
}

qsizetype TextBuffer::pieceAt(Position position) const
{
    const auto it = std::upper_bound(m_pieceStart.begin(), m_pieceStart.end(), position);
    return std::max<qsizetype>(qsizetype(it - m_pieceStart.begin()) - 1, 0);
}

char TextBuffer::at(Position position) const
{
    if (position < 0 || position >= m_size)
        return 0;
    const size_t i = size_t(pieceAt(position));
    const Piece &p = m_pieces[i];
    return byteOf(p.source, p.start + position - m_pieceStart[i]);
}

QByteArray TextBuffer::bytes(Position from, Position length) const
{
    from = std::clamp<Position>(from, 0, m_size);
    const Position end = from + std::clamp<Position>(length, 0, m_size - from);
    QByteArray out;
    if (end == from)
        return out;
    out.reserve(end - from);
    for (const Part &part : parts(from, end - from))
        part.forEachSlice([&out](QByteArrayView slice) { out.append(slice); });
    return out;
}

std::optional<QByteArrayView> TextBuffer::contiguous() const
{
    if (m_pieces.empty())
        return QByteArrayView();
    if (m_pieces.size() > 1)
        return std::nullopt;
    const Piece &p = m_pieces.front();
    if (p.source == Source::View)
        return std::nullopt;
    return QByteArrayView(bytesOf(p.source)).sliced(p.start, p.length);
}

std::vector<TextBuffer::Part> TextBuffer::parts(Position from, Position length) const
{
    from = std::clamp<Position>(from, 0, m_size);
    const Position end = from + std::clamp<Position>(length, 0, m_size - from);
    std::vector<Part> out;
    for (size_t i = size_t(pieceAt(from)); i < m_pieces.size() && m_pieceStart[i] < end; ++i) {
        const Piece &p = m_pieces[i];
        const Position a = std::max(from, m_pieceStart[i]);
        const Position b = std::min(end, m_pieceStart[i] + p.length);
        if (a >= b)
            continue;
        if (p.source == Source::View)
            out.push_back({{}, m_view, p.start + (a - m_pieceStart[i]), b - a});
        else
            out.push_back({bytesOf(p.source), {}, p.start + (a - m_pieceStart[i]), b - a});
    }
    return out;
}

void TextBuffer::append(QByteArrayView more)
{
    const bool whole =
        m_pieces.empty()
        || (m_pieces.size() == 1 && m_pieces.front().source == Source::Loaded
            && m_pieces.front().start == 0 && m_pieces.front().length == m_loaded.size());
    if (!whole) {
        insert(m_size, more);
        clearHistory();
        return;
    }
    if (m_pieces.empty() && !m_loaded.isEmpty()) { // emptied by edits: start afresh
        m_loaded.clear();
        m_loadedStarts.clear();
    }
    const Position start = m_loaded.size();
    m_loaded.append(more.data(), more.size());
    LineIndex::extend(m_loadedStarts, m_loaded, start);
    m_pieces.clear();
    if (!m_loaded.isEmpty())
        m_pieces.push_back(makePiece(Source::Loaded, 0, m_loaded.size()));
    recount();
    clearHistory();
}

Position TextBuffer::lineStart(Position line) const
{
    if (line <= 0 || m_pieces.empty())
        return 0;
    line = std::min(line, m_breaks);
    // The last piece with fewer breaks before it than the line's number.
    const auto it = std::lower_bound(m_breaksBefore.begin(), m_breaksBefore.end(), line);
    const size_t i = size_t(it - m_breaksBefore.begin()) - 1;
    const Piece &p = m_pieces[i];
    const Position k = line - m_breaksBefore[i];
    if (k > p.interiorStarts)
        return m_pieceStart[i] + p.length; // the break at the piece's end
    if (p.source == Source::View)
        return m_pieceStart[i] + (m_view->startAfter(p.start, k) - p.start);
    const LineIndex::Starts &starts = startsOf(p.source);
    const qint64 first = starts.upperBound(p.start);
    return m_pieceStart[i] + (starts[first + (k - 1)] - p.start);
}

Position TextBuffer::lineEnd(Position line) const
{
    if (line + 1 >= lineCount())
        return m_size;
    const Position next = lineStart(line + 1);
    if (at(next - 1) == '\n' && next >= 2 && at(next - 2) == '\r')
        return next - 2;
    return next - 1;
}

Position TextBuffer::lineOf(Position position) const
{
    if (m_pieces.empty() || position <= 0)
        return 0;
    if (position >= m_size)
        return m_breaks;
    const size_t i = size_t(pieceAt(position));
    const Piece &p = m_pieces[i];
    const Position offset = position - m_pieceStart[i];
    return m_breaksBefore[i] + startsWithin(p.source, p.start, p.start + offset);
}

qsizetype TextBuffer::splitAt(Position position)
{
    if (position >= m_size)
        return qsizetype(m_pieces.size());
    const qsizetype i = pieceAt(position);
    const Position offset = position - m_pieceStart[size_t(i)];
    if (offset == 0)
        return i;
    const Piece p = m_pieces[size_t(i)];
    m_pieces[size_t(i)] = makePiece(p.source, p.start, offset);
    m_pieces.insert(m_pieces.begin() + i + 1,
                    makePiece(p.source, p.start + offset, p.length - offset));
    recount();
    return i + 1;
}

void TextBuffer::mergeAround(qsizetype first, qsizetype last)
{
    first = std::max<qsizetype>(first, 0);
    for (qsizetype i = std::min<qsizetype>(last, qsizetype(m_pieces.size()) - 1); i > first; --i) {
        const Piece &a = m_pieces[size_t(i - 1)];
        const Piece &b = m_pieces[size_t(i)];
        if (a.source == b.source && a.start + a.length == b.start) {
            m_pieces[size_t(i - 1)] = makePiece(a.source, a.start, a.length + b.length);
            m_pieces.erase(m_pieces.begin() + i);
        }
    }
}

std::vector<TextBuffer::Piece> TextBuffer::swap(Position from, Position length,
                                                const std::vector<Piece> &inserted)
{
    const qsizetype a = splitAt(from);
    const qsizetype b = splitAt(from + length);
    std::vector<Piece> removed(m_pieces.begin() + a, m_pieces.begin() + b);
    m_pieces.erase(m_pieces.begin() + a, m_pieces.begin() + b);
    m_pieces.insert(m_pieces.begin() + a, inserted.begin(), inserted.end());
    mergeAround(a - 1, a + qsizetype(inserted.size()));
    recount();
    return removed;
}

std::vector<Compare::ColourRange> TextBuffer::redWithin(Position from, Position length) const
{
    std::vector<Compare::ColourRange> red;
    const Position end = from + length;
    for (qsizetype i = std::max<qsizetype>(m_red.indexAtOrBefore(from), 0); i < m_red.count();
         ++i) {
        const Compare::ColourRange r = m_red.at(i);
        if (r.start >= end)
            break;
        const Position s = std::max<Position>(r.start, from);
        const Position e = std::min<Position>(r.start + r.length, end);
        if (s < e)
            red.push_back({s - from, e - s});
    }
    return red;
}

void TextBuffer::replace(Position from, Position length, QByteArrayView inserted)
{
    from = std::clamp<Position>(from, 0, m_size);
    length = std::clamp<Position>(length, 0, m_size - from);
    if (length == 0 && inserted.isEmpty())
        return;
    Change change{from, {}, {}, {}};
    if (!inserted.isEmpty()) {
        const Position start = m_added.size();
        m_added.append(inserted.data(), inserted.size());
        m_addedStamp = nextStamp();
        LineIndex::extend(m_addedStarts, m_added, start);
        change.inserted.push_back(makePiece(Source::Added, start, inserted.size()));
    }
    finishReplace(std::move(change), length, inserted.size());
}

std::uint64_t TextBuffer::nextStamp()
{
    static std::atomic<std::uint64_t> last{0};
    return last.fetch_add(1, std::memory_order_relaxed) + 1;
}

TextBuffer::Addition TextBuffer::beginAddition() const
{
    Addition addition;
    addition.m_added = m_added;
    addition.m_starts = m_addedStarts;
    addition.m_stamp = m_addedStamp;
    addition.m_from = m_added.size();
    return addition;
}

void TextBuffer::Addition::add(QByteArrayView inserted)
{
    QByteArray grown;
    grown.reserve(m_added.size() + inserted.size());
    grown.append(QByteArrayView(m_added));
    grown.append(inserted);
    LineIndex::extend(m_starts, grown, m_added.size());
    m_length += inserted.size();
    m_added = std::move(grown);
}

void TextBuffer::replace(Position from, Position length, Addition addition)
{
    if (addition.m_stamp != m_addedStamp) {
        replace(from, length, QByteArrayView(addition.m_added).sliced(addition.m_from));
        return;
    }
    from = std::clamp<Position>(from, 0, m_size);
    length = std::clamp<Position>(length, 0, m_size - from);
    if (length == 0 && addition.m_length == 0)
        return;
    Change change{from, {}, {}, {}};
    if (addition.m_length > 0) {
        m_added = std::move(addition.m_added);
        m_addedStarts = std::move(addition.m_starts);
        m_addedStamp = nextStamp();
        change.inserted.push_back(makePiece(Source::Added, addition.m_from, addition.m_length));
    }
    finishReplace(std::move(change), length, addition.m_length);
}

void TextBuffer::finishReplace(Change change, Position length, Position inserted)
{
    const Position from = change.at;
    change.removedRed = redWithin(from, length);
    change.removed = swap(from, length, change.inserted);
    m_red.followEdit(from, length, inserted);
    m_history.resize(size_t(m_done));
    m_history.push_back(std::move(change));
    ++m_done;
}

void TextBuffer::insertJoined(Position at, QByteArrayView inserted)
{
    at = std::clamp<Position>(at, 0, m_size);
    const bool joins = !inserted.isEmpty() && m_done > 0 && !canRedo() && [&] {
        const Change &last = m_history.back();
        return last.removed.empty() && last.inserted.size() == 1
               && last.inserted.front().source == Source::Added
               && last.inserted.front().start + last.inserted.front().length == m_added.size()
               && last.at + last.inserted.front().length == at;
    }();
    if (!joins) {
        insert(at, inserted);
        return;
    }
    const Position start = m_added.size();
    m_added.append(inserted.data(), inserted.size());
    m_addedStamp = nextStamp();
    LineIndex::extend(m_addedStarts, m_added, start);
    swap(at, 0, {makePiece(Source::Added, start, inserted.size())});
    m_red.followEdit(at, 0, inserted.size());
    Piece &piece = m_history.back().inserted.front();
    piece = makePiece(Source::Added, piece.start, piece.length + inserted.size());
}

std::optional<TextBuffer::Step> TextBuffer::undoStep() const
{
    if (!canUndo())
        return std::nullopt;
    const Change &c = m_history[size_t(m_done - 1)];
    return Step{c.at, lengthOf(c.inserted), lengthOf(c.removed)};
}

std::optional<TextBuffer::Step> TextBuffer::redoStep() const
{
    if (!canRedo())
        return std::nullopt;
    const Change &c = m_history[size_t(m_done)];
    return Step{c.at, lengthOf(c.removed), lengthOf(c.inserted)};
}

Position TextBuffer::undo()
{
    if (!canUndo())
        return -1;
    const Change &c = m_history[size_t(--m_done)];
    const Position inserted = lengthOf(c.inserted);
    const Position removed = lengthOf(c.removed);
    swap(c.at, inserted, c.removed);
    m_red.followEdit(c.at, inserted, removed);
    std::vector<Compare::ColourRange> red = c.removedRed;
    for (Compare::ColourRange &r : red)
        r.start += c.at;
    m_red.add(red);
    return c.at + removed;
}

Position TextBuffer::redo()
{
    if (!canRedo())
        return -1;
    const Change &c = m_history[size_t(m_done++)];
    const Position inserted = lengthOf(c.inserted);
    swap(c.at, lengthOf(c.removed), c.inserted);
    m_red.followEdit(c.at, lengthOf(c.removed), inserted);
    return c.at + inserted;
}

void TextBuffer::clearHistory()
{
    m_history.clear();
    m_done = 0;
}
