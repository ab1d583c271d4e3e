#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QByteArrayView>

#include "engine/RunSet.h"
#include "text/LineIndex.h"
#include "text/ResultView.h"

// The text of a pane: the UTF-8 bytes a file loaded into, never copied, with
// the user's edits laid over them as pieces (a piece table): each piece is a
// stretch of the loaded bytes or of an append-only buffer of added bytes.
// Every edit can be undone and redone; an undo puts back the pieces, so a
// paste of any size is undone without copying it. Lines end at CR LF, a lone
// CR or a lone LF; a text that ends with a break has an empty last line.
// Positions are byte offsets of 64 bits. The red runs follow the text they
// colour through edits; added text is black.
//
// Costs: finding a line or a position costs a logarithm of the pieces plus
// a logarithm of the lines; an edit costs the number of pieces (which grows
// with the edits made, not with the text) plus, for the colour, the number
// of red runs after it.
class TextBuffer
{
public:
    using Position = qint64;

    TextBuffer() = default;
    // `starts` must be LineIndex::build(loaded), which is best run off the
    // window's thread; without it the index is built here.
    explicit TextBuffer(QByteArray loaded);
    TextBuffer(QByteArray loaded, LineIndex::Starts starts);
    // A comparison's result, shown from the examined bytes it refers to;
    // `view` must be finished. Its bytes are copied only as the user edits.
    explicit TextBuffer(std::shared_ptr<const ResultView> view);

    // The result whose bytes the text shows, if it still shows any.
    const std::shared_ptr<const ResultView> &result() const { return m_view; }
    // Takes `whole`, all of result()'s text, and `starts`, its LineIndex, in
    // place of the result: the text, its steps of undo and its colour stay as
    // they are, and the bytes the result refers to are no longer kept.
    void ownResultBytes(QByteArray whole, LineIndex::Starts starts);

    Position size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }
    // A copy of bytes [from, from + length), clamped to the text.
    QByteArray bytes(Position from, Position length) const;
    QByteArray text() const { return bytes(0, m_size); }
    char at(Position position) const;
    // The whole text without a copy while it lies in one stretch (as loaded,
    // or after edits that left it so); nothing otherwise.
    std::optional<QByteArrayView> contiguous() const;

    // A stretch of the text as parts of the arrays that hold it: kept, they
    // keep those bytes alive and unchanged without a copy of the stretch.
    struct Part
    {
        QByteArray source;                      // the bytes, for a stored stretch
        std::shared_ptr<const ResultView> view; // or the result that makes them
        Position start;
        Position length;

        // Hands the part's bytes to `take` in one or more slices.
        template <typename Take>
        void forEachSlice(Take take) const
        {
            if (view)
                view->forEachSlice(start, length, take);
            else
                take(QByteArrayView(source).sliced(start, length));
        }
    };
    std::vector<Part> parts(Position from, Position length) const;

    // Lines are counted from 0; there is always at least one.
    Position lineCount() const { return m_breaks + 1; }
    Position lineStart(Position line) const;
    // Where the line's text ends, before its break.
    Position lineEnd(Position line) const;
    // The line that holds `position` (a position just after a break is the
    // next line's start).
    Position lineOf(Position position) const;

    // Replaces [from, from + length) with `inserted`; positions are clamped
    // to the text. One step for undo.
    void replace(Position from, Position length, QByteArrayView inserted);
    void insert(Position at, QByteArrayView inserted) { replace(at, 0, inserted); }

    // Bytes to insert made ready on another thread: copying them into the
    // buffer and indexing their lines cost their size, which a paste of
    // 100 MB must not spend on the window's thread. Begun on the buffer's
    // thread (cheap: the added bytes are shared, not copied), added to on
    // any thread, then given to replace(). Made for a buffer that has changed
    // since, its bytes are inserted as replace() inserts them.
    class Addition
    {
    public:
        void add(QByteArrayView inserted);
        Position size() const { return m_length; }

    private:
        friend class TextBuffer;
        QByteArray m_added; // the buffer's added bytes, and then the new ones
        LineIndex::Starts m_starts;
        std::uint64_t m_stamp = 0;
        Position m_from = 0; // where the new bytes start in m_added
        Position m_length = 0;
    };
    Addition beginAddition() const;
    void replace(Position from, Position length, Addition addition);
    void remove(Position from, Position length) { replace(from, length, QByteArrayView()); }
    // Inserts as insert() does, but as part of the last step when that step
    // only inserted text, ending at `at`, and nothing was undone since: a word
    // typed a key at a time is undone at once.
    void insertJoined(Position at, QByteArrayView inserted);
    // Adds to the end as no step of undo, and forgets the steps made: a text
    // that is still one loaded stretch grows in place (within the room its
    // array has) and stays one.
    void append(QByteArrayView more);

    bool canUndo() const { return m_done > 0; }
    bool canRedo() const { return m_done < qsizetype(m_history.size()); }
    // Each returns where the change it made ends, or -1 when there was none.
    Position undo();
    Position redo();
    // The change undo() (or redo()) would make: at `at`, `removed` bytes are
    // replaced by `inserted` ones.
    struct Step
    {
        Position at;
        Position removed;
        Position inserted;
    };
    std::optional<Step> undoStep() const;
    std::optional<Step> redoStep() const;
    void clearHistory();

    const Compare::RunSet &red() const { return m_red; }
    void colour(std::span<const Compare::ColourRange> ranges) { m_red.add(ranges); }
    void blacken(std::span<const Compare::ColourRange> ranges) { m_red.remove(ranges); }
    // Replaces the red runs, which must lie within the text, at once.
    void setRed(Compare::RunSet red) { m_red = std::move(red); }

private:
    enum class Source : std::uint8_t { Loaded, Added, View };

    struct Piece
    {
        Source source;
        Position start;
        Position length;
        Position interiorStarts; // line starts strictly inside the piece
    };

    struct Change
    {
        Position at;
        std::vector<Piece> removed;
        std::vector<Piece> inserted;
        std::vector<Compare::ColourRange> removedRed; // relative to `at`
    };

    const QByteArray &bytesOf(Source source) const;
    const LineIndex::Starts &startsOf(Source source) const;
    char byteOf(Source source, Position at) const;
    // Line starts s in a source with from < s <= to.
    Position startsWithin(Source source, Position from, Position to) const;
    Piece makePiece(Source source, Position start, Position length) const;
    Position lengthOf(const std::vector<Piece> &pieces) const;

    // The index of the piece that begins at `position`, splitting a piece
    // if the position lies inside one.
    qsizetype splitAt(Position position);
    // Puts `inserted` in place of [from, from + length) and returns what was
    // there; the colour shifts with the text.
    std::vector<Piece> swap(Position from, Position length, const std::vector<Piece> &inserted);
    // The red runs over [from, from + length), counted from `from`.
    std::vector<Compare::ColourRange> redWithin(Position from, Position length) const;
    // The rest of a replace() once its inserted piece (if any) is made.
    void finishReplace(Change change, Position length, Position inserted);
    void mergeAround(qsizetype first, qsizetype last);
    void recount();
    // The piece that holds `position` (the last piece for the text's end).
    qsizetype pieceAt(Position position) const;

    QByteArray m_loaded;
    LineIndex::Starts m_loadedStarts;
    QByteArray m_added;
    LineIndex::Starts m_addedStarts;
    // Changes whenever m_added does, and differs between buffers.
    std::uint64_t m_addedStamp = nextStamp();
    static std::uint64_t nextStamp();
    std::shared_ptr<const ResultView> m_view;

    std::vector<Piece> m_pieces;
    // Per piece: where it starts in the text, and the line breaks before it.
    std::vector<Position> m_pieceStart;
    std::vector<Position> m_breaksBefore;
    Position m_size = 0;
    Position m_breaks = 0;

    std::vector<Change> m_history;
    qsizetype m_done = 0;
    Compare::RunSet m_red;
};
