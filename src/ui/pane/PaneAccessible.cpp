#include "pane/PaneAccessible.h"

#include <algorithm>

#include <QColor>
#include <QTextBoundaryFinder>

#include "pane/RichTextBox.h"
#include "text/PaneBytes.h"

namespace {

using Sci = QsciScintillaBase;

constexpr int kUtf16 = Sci::SC_LINECHARACTERINDEX_UTF16;
// How far either side of an offset its colour run is looked for.
constexpr qsizetype kAttributeReach = 4096;

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
    // Asked before the component's own factory, as the class is more derived:
    // that one counts the characters from the start of the text on every
    // caret move and edit, half a second at a million lines.
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

long PaneAccessible::send(unsigned int message, qsizetype wParam, qsizetype lParam) const
{
    return pane().SendScintilla(message, static_cast<unsigned long>(wParam), long(lParam));
}

void PaneAccessible::needIndex() const
{
    // Kept per document by the component, and only once someone asks.
    if (!(send(Sci::SCI_GETLINECHARACTERINDEX) & kUtf16))
        send(Sci::SCI_ALLOCATELINECHARACTERINDEX, kUtf16);
}

QByteArray PaneAccessible::bytesIn(qsizetype from, qsizetype to) const
{
    // A copy of the stretch alone: reading the whole text in place would
    // move the component's gap to the end, the length of the text after the
    // caret on every key typed.
    QByteArray bytes(to - from + 1, Qt::Uninitialized);
    pane().SendScintilla(Sci::SCI_GETTEXTRANGE, long(from), long(to), bytes.data());
    bytes.chop(1); // the component's closing NUL
    return bytes;
}

std::pair<qsizetype, qsizetype> PaneAccessible::lineBytes(qsizetype line) const
{
    const qsizetype length = send(Sci::SCI_GETLENGTH);
    const qsizetype start = send(Sci::SCI_POSITIONFROMLINE, line);
    const qsizetype next = line + 1 < send(Sci::SCI_GETLINECOUNT)
                               ? qsizetype(send(Sci::SCI_POSITIONFROMLINE, line + 1))
                               : length;
    return {std::max<qsizetype>(start, 0), next};
}

int PaneAccessible::offsetOf(qsizetype position) const
{
    needIndex();
    position = std::clamp<qsizetype>(position, 0, send(Sci::SCI_GETLENGTH));
    const qsizetype line = send(Sci::SCI_LINEFROMPOSITION, position);
    const qsizetype start = lineBytes(line).first;
    return int(send(Sci::SCI_INDEXPOSITIONFROMLINE, line, kUtf16)
               + PaneBytes::utf16Length(bytesIn(start, position)));
}

qsizetype PaneAccessible::positionOf(int offset) const
{
    needIndex();
    offset = std::clamp(offset, 0, characterCount());
    const qsizetype line = send(Sci::SCI_LINEFROMINDEXPOSITION, offset, kUtf16);
    const auto [start, next] = lineBytes(line);
    const qsizetype within = offset - send(Sci::SCI_INDEXPOSITIONFROMLINE, line, kUtf16);
    return start + PaneBytes::byteOffsets(bytesIn(start, next), {within})[0];
}

int PaneAccessible::characterCount() const
{
    return offsetOf(send(Sci::SCI_GETLENGTH));
}

QString PaneAccessible::text(int startOffset, int endOffset) const
{
    if (endOffset <= startOffset)
        return {};
    return PaneBytes::toText(bytesIn(positionOf(startOffset), positionOf(endOffset)));
}

int PaneAccessible::cursorPosition() const
{
    return offsetOf(send(Sci::SCI_GETCURRENTPOS));
}

void PaneAccessible::setCursorPosition(int position)
{
    send(Sci::SCI_GOTOPOS, positionOf(position));
}

int PaneAccessible::selectionCount() const
{
    return send(Sci::SCI_GETSELECTIONSTART) == send(Sci::SCI_GETSELECTIONEND) ? 0 : 1;
}

void PaneAccessible::selection(int selectionIndex, int *startOffset, int *endOffset) const
{
    *startOffset = *endOffset = 0;
    if (selectionIndex != 0 || selectionCount() == 0)
        return;
    *startOffset = offsetOf(send(Sci::SCI_GETSELECTIONSTART));
    *endOffset = offsetOf(send(Sci::SCI_GETSELECTIONEND));
}

void PaneAccessible::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    if (selectionIndex == 0)
        send(Sci::SCI_SETSEL, positionOf(startOffset), positionOf(endOffset));
}

void PaneAccessible::addSelection(int startOffset, int endOffset)
{
    setSelection(0, startOffset, endOffset); // a pane has one selection
}

void PaneAccessible::removeSelection(int selectionIndex)
{
    if (selectionIndex == 0)
        send(Sci::SCI_SETEMPTYSELECTION, send(Sci::SCI_GETCURRENTPOS));
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
    needIndex();
    const qsizetype line = send(Sci::SCI_LINEFROMINDEXPOSITION, offset, kUtf16);
    const auto [start, next] = lineBytes(line);
    const int lineStart = int(send(Sci::SCI_INDEXPOSITIONFROMLINE, line, kUtf16));
    const QString lineText = PaneBytes::toText(bytesIn(start, next));
    if (lines) {
        *startOffset = lineStart;
        *endOffset = lineStart + int(lineText.size());
        return lineText;
    }
    // Qt's own boundaries within the line; a line break is a character and
    // a word of its own. (Qt's ready-made reading of words loops for ever at
    // a CR LF.)
    const int at = offset - lineStart;
    const int content = int(lineText.size()) - breakLength(lineText);
    std::pair<int, int> piece{content, int(lineText.size())};
    if (boundaryType == QAccessible::CharBoundary)
        piece = pieceAround(lineText, QTextBoundaryFinder::Grapheme, at);
    else if (at < content)
        piece =
            pieceAround(lineText.left(content),
                        boundaryType == QAccessible::WordBoundary ? QTextBoundaryFinder::Word
                                                                  : QTextBoundaryFinder::Sentence,
                        at);
    *startOffset = lineStart + piece.first;
    *endOffset = lineStart + piece.second;
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
    const qsizetype at = positionOf(offset);
    const qsizetype after = send(Sci::SCI_POSITIONAFTER, at);
    const int x = int(send(Sci::SCI_POINTXFROMPOSITION, 0, at));
    const int y = int(send(Sci::SCI_POINTYFROMPOSITION, 0, at));
    const int height = int(send(Sci::SCI_TEXTHEIGHT, send(Sci::SCI_LINEFROMPOSITION, at)));
    const bool sameLine = send(Sci::SCI_POINTYFROMPOSITION, 0, after) == y && after > at;
    const int width = sameLine ? int(send(Sci::SCI_POINTXFROMPOSITION, 0, after)) - x : 1;
    const QPoint corner = pane().viewport()->mapToGlobal(QPoint(x, y));
    return {corner, QSize(std::max(width, 1), height)};
}

int PaneAccessible::offsetAtPoint(const QPoint &point) const
{
    const QPoint local = pane().viewport()->mapFromGlobal(point);
    const qsizetype at = send(Sci::SCI_CHARPOSITIONFROMPOINTCLOSE, local.x(), local.y());
    return at < 0 ? -1 : offsetOf(at);
}

void PaneAccessible::scrollToSubstring(int startIndex, int endIndex)
{
    send(Sci::SCI_SCROLLRANGE, positionOf(endIndex), positionOf(startIndex));
}

QString PaneAccessible::attributes(int offset, int *startOffset, int *endOffset) const
{
    // The text's colour, red on a difference, over the run of one colour
    // around the offset within its line.
    const qsizetype at = positionOf(offset);
    const auto [lineStart, lineNext] = lineBytes(send(Sci::SCI_LINEFROMPOSITION, at));
    const long style = send(Sci::SCI_GETSTYLEAT, at);
    qsizetype from = at;
    while (from > std::max(lineStart, at - kAttributeReach)
           && send(Sci::SCI_GETSTYLEAT, from - 1) == style)
        --from;
    qsizetype to = at;
    while (to < std::min(lineNext, at + kAttributeReach) && send(Sci::SCI_GETSTYLEAT, to) == style)
        ++to;
    *startOffset = offsetOf(from);
    *endOffset = offsetOf(to);
    const long bgr = send(Sci::SCI_STYLEGETFORE, style);
    const QColor colour(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
    return QStringLiteral("color:rgb(%1,%2,%3);")
        .arg(colour.red())
        .arg(colour.green())
        .arg(colour.blue());
}
