#include "pane/PaneAccessible.h"

#include <algorithm>
#include <climits>

#include <QColor>
#include <QTextBoundaryFinder>

#include "pane/RichTextBox.h"
#include "text/PaneBytes.h"

namespace {

// How far either side of an offset its colour run is looked for.
constexpr qsizetype kAttributeReach = 4096;

// A line longer than this many bytes is told in pieces of kLinePiece, as a
// view that wraps it would show it: a screen reader asks for the caret's
// line at every move, and a 50 MB line made 100 MB of text each time.
constexpr qsizetype kLongLine = qsizetype(1) << 18;
constexpr qsizetype kLinePiece = qsizetype(1) << 16;

// The piece of `text` around `at` that boundaries of the kind enclose.
std::pair<int, int> pieceAround(const QString &text, QTextBoundaryFinder::BoundaryType type, int at)
{
    QTextBoundaryFinder finder(type, text);
    finder.setPosition(at);
    const qsizetype start = finder.isAtBoundary() ? at : finder.toPreviousBoundary();
    finder.setPosition(at);
    const qsizetype end = finder.toNextBoundary();
    return {int(std::max<qsizetype>(start, 0)), int(end < 0 ? text.size() : end)};
}

// The length of the line break that ends a line's text.
int breakLength(const QString &line)
{
    if (line.endsWith(QStringLiteral("\r\n")))
        return 2;
    return line.endsWith(u'\r') || line.endsWith(u'\n') ? 1 : 0;
}

QAccessibleInterface *paneFactory(const QString &className, QObject *object)
{
    if (className != QLatin1String("RichTextBox") || !object)
        return nullptr;
    return new PaneAccessible(static_cast<RichTextBox *>(object));
}

} // namespace

PaneAccessible::PaneAccessible(RichTextBox *pane)
    : QAccessibleWidget(pane, QAccessible::EditableText)
{
}

void PaneAccessible::install()
{
    QAccessible::installFactory(paneFactory);
}

void PaneAccessible::announceCaret(RichTextBox &pane)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleInterface *self = QAccessible::queryAccessibleInterface(&pane);
    QAccessibleTextInterface *text = self ? self->textInterface() : nullptr;
    if (!text)
        return;
    QAccessibleTextCursorEvent caret(&pane, text->cursorPosition());
    QAccessible::updateAccessibility(&caret);
    int start = 0;
    int end = 0;
    text->selection(0, &start, &end);
    QAccessibleTextSelectionEvent selection(&pane, start, end);
    QAccessible::updateAccessibility(&selection);
}

void *PaneAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State PaneAccessible::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    s.multiLine = true;
    s.selectableText = true;
    s.readOnly = pane().isReadOnly();
    s.editable = !s.readOnly;
    return s;
}

RichTextBox &PaneAccessible::pane() const
{
    return *static_cast<RichTextBox *>(widget());
}

QByteArray PaneAccessible::bytesIn(qsizetype from, qsizetype to) const
{
    return pane().buffer().bytes(from, to - from);
}

std::pair<qsizetype, qsizetype> PaneAccessible::lineBytes(qsizetype line) const
{
    const TextBuffer &text = pane().buffer();
    const qsizetype next =
        line + 1 < text.lineCount() ? qsizetype(text.lineStart(line + 1)) : qsizetype(text.size());
    return {qsizetype(text.lineStart(line)), next};
}

std::pair<qsizetype, qsizetype> PaneAccessible::lineAround(qsizetype start, qsizetype next,
                                                           qsizetype at) const
{
    if (next - start <= kLongLine)
        return {start, next};
    const TextBuffer &text = pane().buffer();
    // Piece k begins at the character that holds byte start + k * kLinePiece;
    // the last piece keeps the line break whole.
    const auto pieceStart = [&](qsizetype k) {
        qsizetype p = start + k * kLinePiece;
        if (p >= next - 2)
            return next;
        while (p > start && (uchar(text.at(p)) & 0xC0) == 0x80)
            --p;
        return p;
    };
    at = std::min(at, next - 1); // the text's end: its last piece
    qsizetype k = (at - start) / kLinePiece;
    if (pieceStart(k) > at) // within the break, which the piece before holds
        --k;
    else if (pieceStart(k + 1) <= at)
        ++k;
    return {pieceStart(k), pieceStart(k + 1)};
}

int PaneAccessible::offsetOf(qsizetype position) const
{
    return int(std::min<qint64>(pane().utf16Offset(position), INT_MAX));
}

qsizetype PaneAccessible::positionOf(int offset) const
{
    return pane().positionOfUtf16(offset);
}

int PaneAccessible::characterCount() const
{
    return offsetOf(pane().buffer().size());
}

QString PaneAccessible::text(int startOffset, int endOffset) const
{
    if (endOffset <= startOffset)
        return {};
    return PaneBytes::toText(bytesIn(positionOf(startOffset), positionOf(endOffset)));
}

int PaneAccessible::cursorPosition() const
{
    return offsetOf(pane().caretPosition());
}

void PaneAccessible::setCursorPosition(int position)
{
    const qsizetype at = positionOf(position);
    pane().setSelection(at, at, false);
}

int PaneAccessible::selectionCount() const
{
    return pane().hasSelectedText() ? 1 : 0;
}

void PaneAccessible::selection(int selectionIndex, int *startOffset, int *endOffset) const
{
    *startOffset = *endOffset = 0;
    if (selectionIndex != 0 || selectionCount() == 0)
        return;
    *startOffset = offsetOf(pane().selectionStart());
    *endOffset = offsetOf(pane().selectionEnd());
}

void PaneAccessible::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    if (selectionIndex == 0)
        pane().setSelection(positionOf(startOffset), positionOf(endOffset));
}

void PaneAccessible::addSelection(int startOffset, int endOffset)
{
    setSelection(0, startOffset, endOffset); // a pane has one selection
}

void PaneAccessible::removeSelection(int selectionIndex)
{
    if (selectionIndex == 0)
        pane().setSelection(pane().caretPosition(), pane().caretPosition(), false);
}

QString PaneAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                     int *startOffset, int *endOffset) const
{
    *startOffset = *endOffset = -1;
    const int count = characterCount();
    if (boundaryType == QAccessible::NoBoundary) {
        *startOffset = 0;
        *endOffset = count;
        return text(0, count);
    }
    const bool lines =
        boundaryType == QAccessible::LineBoundary || boundaryType == QAccessible::ParagraphBoundary;
    // At the end there is no character or word, but the end's own line: the
    // last, or an empty one after a final break.
    if (offset < 0 || offset > count || (offset == count && !lines))
        return {};
    // Every boundary but a character's lies within the offset's line.
    const qsizetype at = positionOf(offset);
    const auto [lineStart, lineNext] = lineBytes(pane().buffer().lineOf(at));
    const auto [start, next] = lineAround(lineStart, lineNext, at);
    const int pieceStart = offsetOf(start);
    const QString lineText = PaneBytes::toText(bytesIn(start, next));
    if (lines) {
        *startOffset = pieceStart;
        *endOffset = pieceStart + int(lineText.size());
        return lineText;
    }
    // Qt's own boundaries within the line; a line break is a character and
    // a word of its own. (Qt's ready-made reading of words loops for ever at
    // a CR LF.)
    const int within = offset - pieceStart;
    const int content = int(lineText.size()) - breakLength(lineText);
    std::pair<int, int> piece{content, int(lineText.size())};
    if (boundaryType == QAccessible::CharBoundary)
        piece = pieceAround(lineText, QTextBoundaryFinder::Grapheme, within);
    else if (within < content)
        piece =
            pieceAround(lineText.left(content),
                        boundaryType == QAccessible::WordBoundary ? QTextBoundaryFinder::Word
                                                                  : QTextBoundaryFinder::Sentence,
                        within);
    *startOffset = pieceStart + piece.first;
    *endOffset = pieceStart + piece.second;
    return lineText.mid(piece.first, piece.second - piece.first);
}

QString PaneAccessible::textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                         int *startOffset, int *endOffset) const
{
    const int count = characterCount();
    // At the very end, the character before is the last one.
    if (offset >= count && count > 0 && boundaryType == QAccessible::CharBoundary)
        return textAtOffset(count - 1, boundaryType, startOffset, endOffset);
    const bool lines =
        boundaryType == QAccessible::LineBoundary || boundaryType == QAccessible::ParagraphBoundary;
    int start = 0;
    int end = 0;
    textAtOffset(std::min(offset, lines ? count : count - 1), boundaryType, &start, &end);
    if (start <= 0) {
        *startOffset = *endOffset = -1;
        return {};
    }
    return textAtOffset(start - 1, boundaryType, startOffset, endOffset);
}

QString PaneAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                        int *startOffset, int *endOffset) const
{
    int start = 0;
    int end = 0;
    textAtOffset(offset, boundaryType, &start, &end);
    if (end < 0 || end >= characterCount()) {
        *startOffset = *endOffset = -1;
        return {};
    }
    return textAtOffset(end, boundaryType, startOffset, endOffset);
}

QRect PaneAccessible::characterRect(int offset) const
{
    const QRect local = pane().characterRect(positionOf(offset));
    return QRect(pane().viewport()->mapToGlobal(local.topLeft()), local.size());
}

int PaneAccessible::offsetAtPoint(const QPoint &point) const
{
    const QPoint local = pane().viewport()->mapFromGlobal(point);
    if (!pane().viewport()->rect().contains(local))
        return -1;
    const qsizetype at = pane().positionAt(local);
    // Only a point on a character (or just after a line's text) has one.
    const QRect box = pane().characterRect(at);
    if (local.y() < box.top() || local.y() > box.bottom())
        return -1;
    return offsetOf(at);
}

void PaneAccessible::scrollToSubstring(int startIndex, int endIndex)
{
    const TextBuffer &text = pane().buffer();
    pane().ensureLineVisible(text.lineOf(positionOf(endIndex)));
    pane().ensureLineVisible(text.lineOf(positionOf(startIndex)));
}

QString PaneAccessible::attributes(int offset, int *startOffset, int *endOffset) const
{
    // The text's colour, red on a difference, over the run of one colour
    // around the offset within its line.
    const RichTextBox &p = pane();
    const qsizetype at = positionOf(offset);
    const auto [lineStart, lineNext] = lineBytes(p.buffer().lineOf(at));
    const Colour colour = p.colourOfByte(at);
    qsizetype from = at;
    while (from > std::max(lineStart, at - kAttributeReach) && p.colourOfByte(from - 1) == colour)
        --from;
    qsizetype to = at;
    while (to < std::min(lineNext, at + kAttributeReach) && p.colourOfByte(to) == colour)
        ++to;
    *startOffset = offsetOf(from);
    *endOffset = offsetOf(to);
    const QColor c = toQColor(colour);
    return QStringLiteral("color:rgb(%1,%2,%3);").arg(c.red()).arg(c.green()).arg(c.blue());
}
