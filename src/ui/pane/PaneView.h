#pragma once

#include <functional>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include <QAbstractScrollArea>
#include <QByteArray>
#include <QString>

#include "engine/ColourRange.h"
#include "engine/RunSet.h"
#include "pane/Colour.h"
#include "pane/PaneViewWidths.h"
#include "text/TextBuffer.h"

class QMenu;
class QMimeData;
class QPainter;
class QTextLayout;

// A text view over a TextBuffer, edited as a rich text box is edited:
// typing, Delete, Backspace, the arrows (with Ctrl, and Shift to select),
// Home, End and the page keys, Ctrl+A, the clipboard, undo and redo, the
// mouse, and input methods. A line break typed or pasted is CR LF.
//
// It draws only the lines that show, and of a long line only the chunks of a
// few thousand characters that show: where each chunk starts along the line
// is measured off the window's thread (PaneViewWidths) and estimated until
// then, so that a line of any length paints in the time of a few thousand
// characters, and once measured every position on it is exact.
// Colour is kept as runs: red ones in the buffer, others beside it.
// Positions are byte offsets into the text; each character is whole UTF-8.
class PaneView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    using Position = TextBuffer::Position;

    explicit PaneView(QWidget *parent = nullptr);
    ~PaneView() override;

    const TextBuffer &buffer() const { return m_buffer; }
    // The text is counted in UTF-16 units a block of this size at a time.
    static constexpr Position kUtf16Block = Position(1) << 16;

    // Shows a new text: no step of undo, no colour, the caret at the start
    // and the view at the top. `utf16Before` holds the UTF-16 units before
    // the start of blocks 0, 1, ... as far as they were counted (see
    // utf16Offset()). Gives back the text shown before.
    TextBuffer resetText(TextBuffer buffer, std::vector<qint64> utf16Before = {0});
    // Adds to the end as no step of undo (the steps made are forgotten).
    void appendBytes(QByteArrayView more);
    // The whole text in one piece: without a copy unless edits split it.
    QByteArrayView flatBytes() const;
    // The array that holds flatBytes(), shared: kept, it keeps them alive
    // and unchanged through any edit.
    QByteArray flatHolder() const;
    // True once the user changed the text since it was set (an undo back to
    // it makes it unchanged again).
    bool isModified() const { return m_editedBefore || m_buffer.canUndo(); }

    bool isReadOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly);

    // The selection, in bytes; the caret is where it grows.
    Position anchorPosition() const { return m_anchor; }
    Position caretPosition() const { return m_caret; }
    Position selectionStart() const { return std::min(m_anchor, m_caret); }
    Position selectionEnd() const { return std::max(m_anchor, m_caret); }
    bool hasSelectedText() const { return m_anchor != m_caret; }
    QString selectedText() const;
    // Sets the selection; `offer` gives it to X11's primary selection,
    // `scroll` brings the caret into view, and the selection from its start.
    void setSelection(Position anchor, Position caret, bool offer = true, bool scroll = true);
    // Ctrl+A and the menu's "Select All": the caret at the start, the view
    // where it was.
    virtual void selectAll(bool select = true);

    void copy();
    void cut();
    void paste();
    void undo();
    void redo();
    bool isUndoAvailable() const { return !m_readOnly && m_buffer.canUndo(); }
    bool isRedoAvailable() const { return !m_readOnly && m_buffer.canRedo(); }
    // Replaces the selection as typing would (one step of undo).
    void replaceSelection(QByteArrayView bytes);

    // The view: its first line, how far it is scrolled sideways (pixels),
    // how many whole lines fit.
    Position firstVisibleLine() const;
    void setFirstVisibleLine(Position line);
    int xOffset() const;
    void setXOffset(int x);
    int linesOnScreen() const;
    void ensureLineVisible(Position line);
    // Puts the caret at the line's start and brings it into view.
    void gotoLine(Position line);

    // Colour of byte ranges (ascending; black takes colour away), and of
    // the byte at a position.
    void colourBytes(std::span<const Compare::ColourRange> ranges, Colour colour);
    void colourEverything(Colour colour);
    // Makes `red` the red runs at once (ranges within the text), for a text
    // with no other colour: as colouring them one by one would.
    void setRedRuns(Compare::RunSet red);
    Colour colourOfByte(Position position) const;
    const Compare::RunSet &redRunSet() const { return m_buffer.red(); }

    // A margin with line numbers at the left of the text.
    void setNumberMargin(bool shown);
    int numberMarginWidth() const;

    // Where a character is drawn (viewport coordinates), and the character
    // nearest a point (-1 outside the text).
    QRect characterRect(Position position) const;
    Position positionAt(QPoint point) const;

    // Between positions and UTF-16 offsets into the whole text. The counts
    // are kept per block of the text, made when first asked for and kept
    // until an edit before them: a query costs a block, not the text.
    qint64 utf16Offset(Position position) const;
    // The position of a UTF-16 offset; inside a character, its end.
    Position positionOfUtf16(qint64 offset) const;

    // The menu with the usual edit commands.
    QMenu *createStandardContextMenu();

    // The characters given to text layout since the view was made: the work
    // its painting and measuring did.
    qint64 charactersLaidOut() const { return m_laidOut; }
    // Waits until the long lines asked for so far are measured.
    void waitForWidths();

signals:
    // The caret or the selection moved.
    void selectionMoved();

protected:
    // Called before any change to the text.
    virtual void textWillChange() {}
    // The result shown keeps `whole`, its own copy of its text (see
    // TextBuffer::ownResultBytes); what the pane shows is unchanged.
    void takeResultBytes(QByteArray whole, LineIndex::Starts starts)
    {
        m_buffer.ownResultBytes(std::move(whole), std::move(starts));
    }

    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool event(QEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    struct Slice;
    // The part of a line laid out for drawing or measuring: the whole line,
    // or of a long line the chunk that holds a position (its end: the
    // chunk after), or that is drawn at an x along the line.
    Slice sliceAt(Position line, Position position) const;
    Slice sliceAtX(Position line, qreal x) const;
    void layOut(Slice &slice, bool coloured) const;
    // The measures of a long line, which start to be made when first asked
    // for; estimates where they are not made yet.
    const PaneViewWidths::Line &widthsOf(Position line) const;
    qreal estimatedX(const PaneViewWidths::Line &widths, Position within) const;
    qreal lineWidth(Position line) const; // of a long line
    qreal tabStop() const;
    // Draws what shows of a line at y; gives the line's width.
    qreal paintLine(QPainter &painter, Position line, int y) const;
    void paintCaret(QPainter &painter, QPointF at) const;
    void widthsWillGrow(Position lineStart);
    void widthsGrew(Position lineStart);
    qreal xOf(Position position) const; // in the line, from its start
    Position positionInLine(Position line, qreal x) const;

    // Every change of the text but a large paste (made ready on a worker)
    // comes here: [from, from + length) becomes
    // `inserted`, the caret after it.
    void edit(Position from, Position length, QByteArrayView inserted);
    // What follows a change of the text at `from`: the counts, widths and
    // colours after it, the caret at the end of the `inserted` bytes; `went`
    // and `came` as utf16Edited() takes them.
    void followEdit(Position from, Position length, Position inserted, qint64 went, qint64 came);
    void afterTextChange();
    // Typing: a run of typed characters is one step of undo.
    void type(QByteArrayView bytes);
    void moveCaret(Position to, bool extend);
    // Drags the selection, as a move (Ctrl: a copy) when it is dropped.
    void dragSelection();
    void moveSelectionTo(Position at);
    // True for the data of this pane's selection being dragged.
    bool isOwnSelection(const QMimeData *mime) const;
    void offerSelection();
    void ensureCaretVisible();
    // Brings the caret into view, and a selection from its start.
    void showSelection();
    void updateScrollBars();

    Position nextCharacter(Position at) const;
    Position previousCharacter(Position at) const;
    Position wordRight(Position at) const;
    Position wordLeft(Position at) const;
    std::pair<Position, Position> wordAround(Position at) const;

    // UTF-16 units before a place of the text, kept for places a block apart
    // as counting reaches them, and moved by the edits before them.
    struct Utf16Mark
    {
        Position at;
        qint64 before;
    };
    qint64 utf16Units(Position from, Position to) const;
    // The units of [from, from + length), or -1 past what an edit counts.
    qint64 unitsOf(Position from, Position length) const;
    // The same for a range about to be removed, which the marks after it
    // give without counting it: an undo of a large paste costs no more
    // than one of a key.
    qint64 unitsToRemove(Position from, Position length) const;
    // Makes marks a block apart after mark `i`, short of the next mark and of
    // the end, while `wanted(last mark)` holds; gives the index of the last.
    size_t makeMarksAfter(size_t i, const std::function<bool(const Utf16Mark &)> &wanted) const;
    // After an edit at `at` replaced `removed` bytes, `went` units, by
    // `inserted` bytes, `came` units (-1: not counted): the marks after it
    // move with the text, and the whole length with them.
    void utf16Edited(Position at, Position removed, Position inserted, qint64 went, qint64 came);

    int lineHeight() const;
    int textLeft() const; // where x = 0 of a line is drawn, scrolling aside
    qreal averageWidth() const;

    TextBuffer m_buffer;
    // Colours other than red and black, each as runs (rare: the window uses red).
    std::vector<std::pair<Colour, Compare::RunSet>> m_otherColours;
    mutable QByteArray m_flat;
    mutable bool m_flatValid = false;
    bool m_editedBefore = false; // edited, then the steps forgotten by an append

    Position m_anchor = 0;
    Position m_caret = 0;
    qreal m_column = -1; // the x the caret keeps on Up and Down
    bool m_readOnly = false;
    bool m_numbers = false;
    bool m_selecting = false;   // the mouse is selecting
    bool m_typing = false;      // the last change was typed, at the caret
    bool m_dragPending = false; // pressed on the selection: a drag may start
    QPoint m_dragFrom;
    bool m_movedHere = false; // the selection dragged was dropped within the pane
    Position m_dropAt = -1;   // where a drag over the pane would drop
    QString m_preedit;
    int m_scrollWidth = 1; // the widest line seen, in pixels
    mutable qint64 m_laidOut = 0;
    mutable PaneViewWidths m_widths;
    // The character at the left edge, kept there while measures arrive.
    Position m_keptLeft = -1;
    qreal m_keptLeftX = 0;
    Position m_widestLine = -1; // the start of the long line m_scrollWidth is from
    // Ascending; the first at 0.
    mutable std::vector<Utf16Mark> m_utf16Marks{{0, 0}};
    // The whole text's length in UTF-16 units once asked for (-1: not yet),
    // then kept across edits as the marks are.
    mutable qint64 m_utf16Length = -1;
};
