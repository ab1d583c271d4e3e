#include "pane/PaneView.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>

#include <QApplication>
#include <QClipboard>
#include <QDrag>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QTextLayout>

#include "pane/SelectionData.h"
#include "runner/BackgroundRun.h"
#include "text/PaneBytes.h"

namespace {

using Position = PaneView::Position;

// Lines longer than this are laid out a slice at a time.
constexpr Position kLongLine = 8192;
// The most a double-click looks either way for the ends of a word.
constexpr Position kWordReach = Position(1) << 20;
// A pasted text of this many characters or more is converted on a worker.
constexpr qsizetype kPastedOnThisThread = qsizetype(1) << 20;
constexpr qreal kLineWidth = qreal(1 << 24); // no wrapping within a slice
constexpr int kLeftPad = 1;
// How far inside the view the caret is kept when the view follows it.
constexpr int kCaretSlop = 50;
constexpr Colour kNumberInk = 0x606060;
constexpr Colour kNumberPaper = 0xF0F0F0;

enum class CharClass { Space, Word, Punctuation, Break };

CharClass classOf(char c)
{
    const auto u = static_cast<unsigned char>(c);
    if (c == '\r' || c == '\n')
        return CharClass::Break;
    if (c == ' ' || c == '\t')
        return CharClass::Space;
    if (u >= 0x80 || std::isalnum(u) || c == '_')
        return CharClass::Word;
    return CharClass::Punctuation;
}

bool isContinuation(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Line breaks as a typed one is: every lone CR or LF becomes CR LF. The
// stretches between breaks are copied whole.
QByteArray withCrLf(QByteArrayView bytes)
{
    QByteArray out;
    out.reserve(bytes.size());
    const char *const end = bytes.data() + bytes.size();
    for (const char *p = bytes.data(); p < end;) {
        const char *lf = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        const char *cr =
            static_cast<const char *>(std::memchr(p, '\r', size_t((lf ? lf : end) - p)));
        const char *next = cr ? cr : lf ? lf : end;
        out.append(p, next - p);
        if (next == end)
            break;
        out.append("\r\n", 2);
        p = next + (next[0] == '\r' && next + 1 < end && next[1] == '\n' ? 2 : 1);
    }
    return out;
}

enum class Key {
    None,
    SelectAll,
    Copy,
    Cut,
    Paste,
    Undo,
    Redo,
    Type,
    Newline,
    Backspace,
    Delete,
    Left,
    Right,
    WordLeft,
    WordRight,
    Up,
    Down,
    ScrollUp,
    ScrollDown,
    Home,
    End,
    DocumentStart,
    DocumentEnd,
    PageUp,
    PageDown,
};

// What a key does in a pane: the keys of a rich text box, nothing else.
Key keyOf(const QKeyEvent *event)
{
    if (event->matches(QKeySequence::SelectAll))
        return Key::SelectAll;
    if (event->matches(QKeySequence::Copy))
        return Key::Copy;
    if (event->matches(QKeySequence::Cut))
        return Key::Cut;
    if (event->matches(QKeySequence::Paste))
        return Key::Paste;
    if (event->matches(QKeySequence::Undo))
        return Key::Undo;
    if (event->matches(QKeySequence::Redo))
        return Key::Redo;
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const bool ctrl = mods & Qt::ControlModifier;
    const bool alt = mods & Qt::AltModifier;
    const bool meta = mods & Qt::MetaModifier;
    if (ctrl && !alt && !meta && !(mods & Qt::ShiftModifier) && event->key() == Qt::Key_Y)
        return Key::Redo;
    const QString text = event->text();
    // Ctrl+Alt is AltGr on some systems: it types.
    const bool typing = !text.isEmpty() && text.at(0).isPrint() && !meta && (ctrl == alt);
    if (alt || meta)
        return typing ? Key::Type : Key::None;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return ctrl ? Key::None : Key::Newline;
    case Qt::Key_Backspace:
        return ctrl ? Key::None : Key::Backspace;
    case Qt::Key_Delete:
        return ctrl || (mods & Qt::ShiftModifier) ? Key::None : Key::Delete;
    case Qt::Key_Left:
        return ctrl ? Key::WordLeft : Key::Left;
    case Qt::Key_Right:
        return ctrl ? Key::WordRight : Key::Right;
    case Qt::Key_Up:
        return ctrl ? ((mods & Qt::ShiftModifier) ? Key::None : Key::ScrollUp) : Key::Up;
    case Qt::Key_Down:
        return ctrl ? ((mods & Qt::ShiftModifier) ? Key::None : Key::ScrollDown) : Key::Down;
    case Qt::Key_Home:
        return ctrl ? Key::DocumentStart : Key::Home;
    case Qt::Key_End:
        return ctrl ? Key::DocumentEnd : Key::End;
    case Qt::Key_PageUp:
        return ctrl ? Key::None : Key::PageUp;
    case Qt::Key_PageDown:
        return ctrl ? Key::None : Key::PageDown;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Escape:
    case Qt::Key_Insert:
        return Key::None;
    default:
        return typing ? Key::Type : Key::None;
    }
}

bool editsText(Key key)
{
    switch (key) {
    case Key::Cut:
    case Key::Paste:
    case Key::Undo:
    case Key::Redo:
    case Key::Type:
    case Key::Newline:
    case Key::Backspace:
    case Key::Delete:
        return true;
    default:
        return false;
    }
}

} // namespace

struct PaneView::Slice
{
    Position line = 0;
    Position lineStart = 0;
    Position lineEnd = 0;
    Position from = 0; // the bytes laid out
    Position to = 0;
    QByteArray bytes;
    QString text;
    qreal x = 0; // where `from` lies along the line
    std::shared_ptr<QTextLayout> layout;

    int utf16At(Position p) const
    {
        const qsizetype within = std::clamp<Position>(p - from, 0, to - from);
        return int(PaneBytes::utf16Offsets(bytes, {within})[0]);
    }
    Position positionAt(int utf16) const
    {
        return from + PaneBytes::byteOffsets(bytes, {qsizetype(std::max(utf16, 0))})[0];
    }
};

PaneView::PaneView(QWidget *parent) : QAbstractScrollArea(parent)
{
    setAttribute(Qt::WA_InputMethodEnabled);
    setFocusPolicy(Qt::WheelFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setAutoFillBackground(false);
    viewport()->setAcceptDrops(true);
    m_widths.setFont(font(), tabStop());
    connect(&m_widths, &PaneViewWidths::aboutToMeasure, this, &PaneView::widthsWillGrow);
    connect(&m_widths, &PaneViewWidths::measured, this, &PaneView::widthsGrew);
    updateScrollBars();
}

PaneView::~PaneView() = default;

TextBuffer PaneView::resetText(TextBuffer buffer, std::vector<qint64> utf16Before)
{
    textWillChange();
    TextBuffer old = std::exchange(m_buffer, std::move(buffer));
    m_otherColours.clear();
    m_flat = QByteArray();
    m_flatValid = false;
    m_editedBefore = false;
    m_anchor = m_caret = 0;
    m_typing = false;
    m_column = -1;
    m_scrollWidth = 1;
    m_widestLine = m_keptLeft = -1;
    m_widths.clear();
    m_utf16Marks.assign(1, Utf16Mark{0, 0});
    for (size_t block = 1; block < utf16Before.size(); ++block) {
        const Position at = Position(block) * PaneView::kUtf16Block;
        if (at > m_buffer.size())
            break;
        m_utf16Marks.push_back({at, utf16Before[block]});
    }
    m_utf16Length = -1;
    // Counted as it loaded: the whole length costs a block's count at most.
    if (m_buffer.size() - m_utf16Marks.back().at <= PaneView::kUtf16Block)
        m_utf16Length = utf16Offset(m_buffer.size());
    updateScrollBars();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    viewport()->update();
    emit selectionMoved();
    return old;
}

void PaneView::appendBytes(QByteArrayView more)
{
    if (more.isEmpty())
        return;
    textWillChange();
    m_editedBefore = isModified();
    m_widths.edited(m_buffer.size(), 0, more.size());
    utf16Edited(m_buffer.size(), 0, more.size(), 0, PaneBytes::utf16Length(more));
    m_buffer.append(more);
    m_flatValid = false;
    m_flat = QByteArray();
    updateScrollBars();
    viewport()->update();
}

QByteArrayView PaneView::flatBytes() const
{
    if (const std::optional<QByteArrayView> whole = m_buffer.contiguous())
        return *whole;
    if (!m_flatValid) {
        m_flat = m_buffer.text();
        m_flatValid = true;
    }
    return m_flat;
}

QByteArray PaneView::flatHolder() const
{
    if (!m_buffer.contiguous()) {
        flatBytes();
        return m_flat;
    }
    const std::vector<TextBuffer::Part> parts = m_buffer.parts(0, m_buffer.size());
    return parts.empty() ? QByteArray() : parts.front().source;
}

void PaneView::setReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    setAttribute(Qt::WA_InputMethodEnabled, !readOnly);
}

QString PaneView::selectedText() const
{
    return PaneBytes::toText(m_buffer.bytes(selectionStart(), selectionEnd() - selectionStart()));
}

void PaneView::setSelection(Position anchor, Position caret, bool offer, bool scroll)
{
    m_typing = false;
    const Position size = m_buffer.size();
    m_anchor = std::clamp<Position>(anchor, 0, size);
    m_caret = std::clamp<Position>(caret, 0, size);
    m_column = -1;
    if (offer)
        offerSelection();
    if (scroll)
        showSelection();
    viewport()->update();
    emit selectionMoved();
}

void PaneView::selectAll(bool select)
{
    if (select)
        setSelection(m_buffer.size(), 0, true, false);
    else
        setSelection(m_caret, m_caret, false);
}

void PaneView::offerSelection()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!hasSelectedText() || !clipboard->supportsSelection())
        return;
    clipboard->setMimeData(
        new SelectionData(m_buffer.parts(selectionStart(), selectionEnd() - selectionStart())),
        QClipboard::Selection);
}

void PaneView::copy()
{
    if (!hasSelectedText())
        return;
    QGuiApplication::clipboard()->setMimeData(
        new SelectionData(m_buffer.parts(selectionStart(), selectionEnd() - selectionStart())));
}

void PaneView::cut()
{
    if (m_readOnly || !hasSelectedText())
        return;
    copy();
    replaceSelection({});
}

void PaneView::paste()
{
    if (m_readOnly)
        return;
    const QMimeData *mime = QGuiApplication::clipboard()->mimeData();
    if (!mime || !mime->hasText())
        return;
    const QString text = mime->text();
    if (text.size() < kPastedOnThisThread) {
        replaceSelection(withCrLf(PaneBytes::fromText(text)));
        return;
    }
    // Converting a large text takes seconds: it is done on a worker while
    // the window stays live. The pane takes no edit meanwhile, and the text
    // goes where the selection is once it is ready.
    // Its bytes are copied into the text's added bytes and indexed there
    // too, and the pane then takes them in a step that costs no more than a
    // key typed.
    TextBuffer::Addition addition = m_buffer.beginAddition();
    qint64 came = 0;
    const QPointer<PaneView> alive(this);
    m_readOnly = true;
    try {
        Compare::Progress progress;
        runInBackground(window(), tr("Pasting the text..."), progress, [&] {
            QByteArray bytes = withCrLf(PaneBytes::fromText(text));
            came = PaneBytes::utf16Length(bytes);
            addition.add(std::move(bytes));
        });
    } catch (...) {
        if (alive)
            m_readOnly = false;
        throw;
    }
    if (!alive)
        return;
    m_readOnly = false;
    const Position from = selectionStart();
    const Position length = selectionEnd() - from;
    textWillChange();
    const Position inserted = addition.size();
    const qint64 went = unitsToRemove(from, length);
    m_buffer.replace(from, length, std::move(addition));
    followEdit(from, length, inserted, went, came);
}

void PaneView::undo()
{
    if (m_readOnly || !m_buffer.canUndo())
        return;
    textWillChange();
    const TextBuffer::Step step = *m_buffer.undoStep();
    const qint64 went = unitsToRemove(step.at, step.removed);
    const Position end = m_buffer.undo();
    utf16Edited(step.at, step.removed, step.inserted, went, unitsOf(step.at, step.inserted));
    // Other colours move with the text around the change; the text it puts
    // back is black unless it was red.
    m_widths.edited(step.at, step.removed, step.inserted);
    for (auto &[colour, runs] : m_otherColours)
        runs.followEdit(step.at, step.removed, step.inserted);
    m_caret = m_anchor = end;
    afterTextChange();
}

void PaneView::redo()
{
    if (m_readOnly || !m_buffer.canRedo())
        return;
    textWillChange();
    const TextBuffer::Step step = *m_buffer.redoStep();
    const qint64 went = unitsToRemove(step.at, step.removed);
    const Position end = m_buffer.redo();
    utf16Edited(step.at, step.removed, step.inserted, went, unitsOf(step.at, step.inserted));
    // Other colours move with the text around the change; the text it puts
    // back is black unless it was red.
    m_widths.edited(step.at, step.removed, step.inserted);
    for (auto &[colour, runs] : m_otherColours)
        runs.followEdit(step.at, step.removed, step.inserted);
    m_caret = m_anchor = end;
    afterTextChange();
}

void PaneView::replaceSelection(QByteArrayView bytes)
{
    if (m_readOnly)
        return;
    edit(selectionStart(), selectionEnd() - selectionStart(), bytes);
}

void PaneView::type(QByteArrayView bytes)
{
    if (m_readOnly || bytes.isEmpty())
        return;
    if (hasSelectedText() || !m_typing) {
        replaceSelection(bytes);
        m_typing = true;
        return;
    }
    textWillChange();
    m_buffer.insertJoined(m_caret, bytes);
    utf16Edited(m_caret, 0, bytes.size(), 0, PaneBytes::utf16Length(bytes));
    m_widths.edited(m_caret, 0, bytes.size());
    for (auto &[colour, runs] : m_otherColours)
        runs.followEdit(m_caret, 0, bytes.size());
    m_caret = m_anchor = m_caret + bytes.size();
    afterTextChange();
    m_typing = true;
}

void PaneView::edit(Position from, Position length, QByteArrayView inserted)
{
    if (length == 0 && inserted.isEmpty())
        return;
    textWillChange();
    const qint64 went = unitsToRemove(from, length);
    m_buffer.replace(from, length, inserted);
    followEdit(from, length, inserted.size(), went, PaneBytes::utf16Length(inserted));
}

void PaneView::followEdit(Position from, Position length, Position inserted, qint64 went,
                          qint64 came)
{
    utf16Edited(from, length, inserted, went, came);
    m_widths.edited(from, length, inserted);
    for (auto &[colour, runs] : m_otherColours)
        runs.followEdit(from, length, inserted);
    m_caret = m_anchor = from + inserted;
    afterTextChange();
}

void PaneView::afterTextChange()
{
    m_flatValid = false;
    m_flat = QByteArray();
    m_column = -1;
    updateScrollBars();
    ensureCaretVisible();
    viewport()->update();
    emit selectionMoved();
}

Position PaneView::firstVisibleLine() const
{
    return verticalScrollBar()->value();
}

void PaneView::setFirstVisibleLine(Position line)
{
    verticalScrollBar()->setValue(int(std::clamp<Position>(line, 0, INT_MAX)));
}

int PaneView::xOffset() const
{
    return horizontalScrollBar()->value();
}

void PaneView::setXOffset(int x)
{
    x = std::max(x, 0);
    if (x > horizontalScrollBar()->maximum()) {
        m_scrollWidth = std::max(m_scrollWidth, x + viewport()->width() - textLeft() - xOffset());
        updateScrollBars();
    }
    horizontalScrollBar()->setValue(x);
}

int PaneView::linesOnScreen() const
{
    return std::max(1, viewport()->height() / lineHeight());
}

void PaneView::ensureLineVisible(Position line)
{
    const Position first = firstVisibleLine();
    const Position shown = linesOnScreen();
    if (line < first)
        setFirstVisibleLine(line);
    else if (line >= first + shown)
        setFirstVisibleLine(line - shown + 1);
}

void PaneView::gotoLine(Position line)
{
    line = std::clamp<Position>(line, 0, m_buffer.lineCount() - 1);
    setSelection(m_buffer.lineStart(line), m_buffer.lineStart(line), false);
}

void PaneView::ensureCaretVisible()
{
    ensureLineVisible(m_buffer.lineOf(m_caret));
    const int area = viewport()->width() - numberMarginWidth() - kLeftPad;
    // On a long line a move brings another slice into play, whose widths
    // differ from the estimate a little: a few passes make up for it.
    for (int pass = 0; pass < 4; ++pass) {
        const int x = int(xOf(m_caret));
        const int slop = std::min(kCaretSlop, area / 3);
        if (x < xOffset() + (xOffset() > 0 ? slop : 0))
            setXOffset(std::max(0, x - slop));
        else if (x > xOffset() + area - slop)
            setXOffset(x - area + slop);
        else
            break;
    }
}

void PaneView::showSelection()
{
    ensureCaretVisible();
    // A selection shows from its start, as a mark is read from its start.
    Position start = selectionStart();
    if (start == m_caret)
        return;
    const Position line = m_buffer.lineOf(start);
    if (start >= m_buffer.lineEnd(line) && line + 1 < m_buffer.lineCount())
        start = m_buffer.lineStart(line + 1); // it starts with a line break
    const int x = int(xOf(start));
    const int area = viewport()->width() - numberMarginWidth() - kLeftPad;
    if (x < xOffset() || x > xOffset() + area - kCaretSlop)
        setXOffset(std::max(0, x - std::min(kCaretSlop, area / 3)));
}

void PaneView::colourBytes(std::span<const Compare::ColourRange> ranges, Colour colour)
{
    if (ranges.empty())
        return;
    const Position size = m_buffer.size();
    Compare::ColourRanges inText;
    inText.reserve(ranges.size());
    for (const Compare::ColourRange &r : ranges) {
        const Position start = std::clamp<Position>(r.start, 0, size);
        const Position end = std::clamp<Position>(r.start + r.length, start, size);
        if (end > start)
            inText.push_back({start, end - start});
    }
    if (inText.empty())
        return;
    for (auto &[c, runs] : m_otherColours)
        runs.remove(inText);
    if (colour == kRed) {
        m_buffer.colour(inText);
    } else {
        m_buffer.blacken(inText);
        if (colour != kBlack) {
            auto it = std::find_if(m_otherColours.begin(), m_otherColours.end(),
                                   [colour](const auto &other) { return other.first == colour; });
            if (it == m_otherColours.end())
                it = m_otherColours.insert(m_otherColours.end(), {colour, Compare::RunSet()});
            it->second.add(inText);
        }
    }
    viewport()->update();
}

void PaneView::colourEverything(Colour colour)
{
    m_otherColours.clear();
    const Position size = m_buffer.size();
    if (size > 0) {
        const Compare::ColourRange all{0, size};
        m_buffer.blacken({&all, 1});
        if (colour != kBlack)
            colourBytes({&all, 1}, colour);
    }
    viewport()->update();
}

void PaneView::setRedRuns(Compare::RunSet red)
{
    m_buffer.setRed(std::move(red));
    viewport()->update();
}

Colour PaneView::colourOfByte(Position position) const
{
    const auto holds = [position](const Compare::RunSet &runs) {
        const qsizetype i = runs.indexAtOrBefore(position);
        return i >= 0 && position < runs.at(i).start + runs.at(i).length;
    };
    if (holds(m_buffer.red()))
        return kRed;
    for (const auto &[colour, runs] : m_otherColours)
        if (holds(runs))
            return colour;
    return kBlack;
}

void PaneView::setNumberMargin(bool shown)
{
    m_numbers = shown;
    viewport()->update();
    updateScrollBars();
}

int PaneView::numberMarginWidth() const
{
    if (!m_numbers)
        return 0;
    // Room for the last line's number and a blank, never less than three digits.
    const QString widest(std::max(3, int(QString::number(m_buffer.lineCount()).size())) + 1,
                         QLatin1Char('9'));
    return QFontMetrics(font()).horizontalAdvance(widest);
}

int PaneView::lineHeight() const
{
    const QFontMetricsF metrics(font());
    return std::max(1, qRound(metrics.ascent() + metrics.descent()));
}

int PaneView::textLeft() const
{
    return numberMarginWidth() + kLeftPad - xOffset();
}

qreal PaneView::averageWidth() const
{
    return std::max<qreal>(1, QFontMetricsF(font()).averageCharWidth());
}

qreal PaneView::tabStop() const
{
    return 8 * QFontMetricsF(font()).horizontalAdvance(QLatin1Char(' '));
}

const PaneViewWidths::Line &PaneView::widthsOf(Position line) const
{
    const Position start = m_buffer.lineStart(line);
    return m_widths.request(start, m_buffer.lineEnd(line) - start, m_buffer);
}

qreal PaneView::estimatedX(const PaneViewWidths::Line &widths, Position within) const
{
    const PaneViewWidths::Chunk &frontier = widths.chunks.back();
    const qreal perByte = frontier.start > 0 ? frontier.x / qreal(frontier.start) : averageWidth();
    return frontier.x + qreal(within - frontier.start) * perByte;
}

qreal PaneView::lineWidth(Position line) const
{
    const PaneViewWidths::Line &widths = widthsOf(line);
    return widths.complete ? widths.chunks.back().x : estimatedX(widths, widths.length);
}

PaneView::Slice PaneView::sliceAt(Position line, Position position) const
{
    Slice s;
    s.line = line;
    s.lineStart = m_buffer.lineStart(line);
    s.lineEnd = m_buffer.lineEnd(line);
    s.from = s.lineStart;
    s.to = s.lineEnd;
    const Position length = s.lineEnd - s.lineStart;
    if (length > kLongLine) {
        const PaneViewWidths::Line &widths = widthsOf(line);
        const std::vector<PaneViewWidths::Chunk> &chunks = widths.chunks;
        const Position within = std::clamp<Position>(position - s.lineStart, 0, length);
        if (within < chunks.back().start || (widths.complete && chunks.size() > 1)) {
            // Measured: the chunk that holds it (the line's end: the last one).
            const auto after = std::upper_bound(
                chunks.begin(), chunks.end(), within,
                [](Position p, const PaneViewWidths::Chunk &c) { return p < c.start; });
            const size_t i =
                std::min<size_t>(size_t(after - chunks.begin()) - 1, chunks.size() - 2);
            s.from = s.lineStart + chunks[i].start;
            s.to = s.lineStart + chunks[i + 1].start;
            s.x = chunks[i].x;
        } else {
            // Not yet: the chunk as it will be measured, where the estimate
            // puts it.
            const Position frontier = chunks.back().start;
            const auto startOf = [&](Position nominal) {
                if (nominal <= frontier)
                    return frontier;
                if (nominal >= length)
                    return length;
                const QByteArray reach =
                    m_buffer.bytes(s.lineStart + nominal, PaneViewWidths::kSpaceReach + 4);
                return std::min(length, PaneViewWidths::boundary(reach, nominal, nominal));
            };
            Position nominal = within / PaneViewWidths::kChunk * PaneViewWidths::kChunk;
            if (startOf(nominal) > within)
                nominal -= PaneViewWidths::kChunk;
            const Position start = startOf(nominal);
            const Position end = std::max(startOf(nominal + PaneViewWidths::kChunk), start);
            s.from = s.lineStart + start;
            s.to = s.lineStart + (end == start ? length : end);
            s.x = estimatedX(widths, start);
        }
    }
    s.bytes = m_buffer.bytes(s.from, s.to - s.from);
    s.text = PaneBytes::toText(s.bytes);
    return s;
}

PaneView::Slice PaneView::sliceAtX(Position line, qreal x) const
{
    const Position start = m_buffer.lineStart(line);
    const Position length = m_buffer.lineEnd(line) - start;
    if (length <= kLongLine)
        return sliceAt(line, start);
    const PaneViewWidths::Line &widths = widthsOf(line);
    const std::vector<PaneViewWidths::Chunk> &chunks = widths.chunks;
    const PaneViewWidths::Chunk &frontier = chunks.back();
    if (chunks.size() > 1 && (x < frontier.x || widths.complete)) {
        const auto after =
            std::upper_bound(chunks.begin(), chunks.end(), x,
                             [](qreal v, const PaneViewWidths::Chunk &c) { return v < c.x; });
        const size_t i = std::min<size_t>(
            size_t(std::max<qsizetype>(after - chunks.begin() - 1, 0)), chunks.size() - 2);
        return sliceAt(line, start + chunks[i].start);
    }
    const qreal perByte = frontier.start > 0 ? frontier.x / qreal(frontier.start) : averageWidth();
    const Position within =
        frontier.start + Position(std::max<qreal>(0, (x - frontier.x) / perByte));
    return sliceAt(line, start + std::min(within, length));
}

void PaneView::layOut(Slice &s, bool coloured) const
{
    s.layout = std::make_shared<QTextLayout>(s.text, font());
    if (coloured) {
        QList<QTextLayout::FormatRange> formats;
        const auto addRuns = [&](const Compare::RunSet &runs, Colour colour) {
            std::vector<qsizetype> ends;
            for (qsizetype i = std::max<qsizetype>(runs.indexAtOrBefore(s.from), 0);
                 i < runs.count() && runs.at(i).start < s.to; ++i) {
                const Compare::ColourRange r = runs.at(i);
                const Position a = std::max<Position>(r.start, s.from);
                const Position b = std::min<Position>(r.start + r.length, s.to);
                if (a < b) {
                    ends.push_back(a - s.from);
                    ends.push_back(b - s.from);
                }
            }
            if (ends.empty())
                return;
            const std::vector<qsizetype> at = PaneBytes::utf16Offsets(s.bytes, ends);
            QTextCharFormat format;
            format.setForeground(toQColor(colour));
            for (size_t i = 0; i + 1 < at.size(); i += 2)
                formats.append({int(at[i]), int(at[i + 1] - at[i]), format});
        };
        addRuns(m_buffer.red(), kRed);
        for (const auto &[colour, runs] : m_otherColours)
            addRuns(runs, colour);
        s.layout->setFormats(formats);
    }
    PaneViewWidths::layOut(*s.layout, font(), tabStop());
    m_laidOut += s.text.size();
}

qreal PaneView::xOf(Position position) const
{
    Slice s = sliceAt(m_buffer.lineOf(position), position);
    layOut(s, false);
    return s.x + s.layout->lineAt(0).cursorToX(s.utf16At(position));
}

Position PaneView::positionInLine(Position line, qreal x) const
{
    Slice s = sliceAtX(line, x);
    layOut(s, false);
    const int u = s.layout->lineAt(0).xToCursor(x - s.x);
    return s.positionAt(u);
}

void PaneView::waitForWidths()
{
    m_widths.waitForDone();
}

void PaneView::widthsWillGrow(Position lineStart)
{
    // The caret's line if it shows, else the first line: its character at
    // the left edge stays where it is.
    const Position first = firstVisibleLine();
    const Position caretLine = m_buffer.lineOf(m_caret);
    const bool caretShows = caretLine >= first && caretLine < first + linesOnScreen();
    const Position line = caretShows ? caretLine : first;
    m_keptLeft = -1;
    if (m_buffer.lineStart(line) != lineStart || xOffset() == 0)
        return;
    m_keptLeft = positionInLine(line, xOffset());
    m_keptLeftX = xOf(m_keptLeft) - xOffset();
}

void PaneView::widthsGrew(Position lineStart)
{
    if (lineStart == m_widestLine) {
        const Position line = m_buffer.lineOf(lineStart);
        m_scrollWidth = int(std::min<qreal>(lineWidth(line) + 2 * kLeftPad, qreal(1 << 30)));
        updateScrollBars();
    }
    if (m_keptLeft >= 0) {
        const Position kept = std::exchange(m_keptLeft, -1);
        setXOffset(int(std::round(xOf(kept) - m_keptLeftX)));
    }
    const Position line = m_buffer.lineOf(lineStart);
    if (line >= firstVisibleLine() && line <= firstVisibleLine() + linesOnScreen())
        viewport()->update();
}

QRect PaneView::characterRect(Position position) const
{
    const Position line = m_buffer.lineOf(position);
    const int y = int((line - firstVisibleLine()) * lineHeight());
    const qreal x = xOf(position);
    const Position next = nextCharacter(position);
    const bool sameLine =
        next > position && m_buffer.lineOf(next) == line && position < m_buffer.lineEnd(line);
    const qreal width = sameLine ? xOf(next) - x : 1;
    return QRect(int(textLeft() + x), y, std::max(1, int(std::round(width))), lineHeight());
}

Position PaneView::positionAt(QPoint point) const
{
    const Position line = std::clamp<Position>(
        firstVisibleLine() + Position(std::floor(qreal(point.y()) / lineHeight())), 0,
        m_buffer.lineCount() - 1);
    return positionInLine(line, point.x() - textLeft());
}

void PaneView::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    const QRect area = viewport()->rect();
    painter.fillRect(area, Qt::white);
    const int height = lineHeight();
    const int margin = numberMarginWidth();
    const Position first = firstVisibleLine();
    const Position last = std::min(m_buffer.lineCount(), first + area.height() / height + 1);
    qreal widest = 0;
    Position widestLine = -1;
    painter.setClipRect(QRect(margin, 0, area.width() - margin, area.height()));
    for (Position line = first; line < last; ++line) {
        const Position start = m_buffer.lineStart(line);
        const qreal width = paintLine(painter, line, int(line - first) * height);
        if (width > widest) {
            widest = width;
            widestLine = start;
        }
    }
    if (m_dropAt >= 0) {
        const QRect where = characterRect(m_dropAt);
        painter.fillRect(QRect(where.x(), where.y(), 1, where.height()), Qt::black);
    }
    if (margin > 0) {
        painter.setClipping(false);
        painter.fillRect(QRect(0, 0, margin, area.height()), toQColor(kNumberPaper));
        painter.setPen(toQColor(kNumberInk));
        painter.setFont(font());
        for (Position line = first; line < last; ++line)
            painter.drawText(QRect(0, int(line - first) * height, margin - 2, height),
                             Qt::AlignRight | Qt::AlignVCenter, QString::number(line + 1));
    }
    const int needed = int(std::min<qreal>(widest + 2 * kLeftPad, qreal(1 << 30)));
    if (needed > m_scrollWidth) {
        m_scrollWidth = needed;
        m_widestLine =
            widestLine >= 0
                    && m_buffer.lineEnd(m_buffer.lineOf(widestLine)) - widestLine > kLongLine
                ? widestLine
                : -1;
        updateScrollBars();
    }
}

qreal PaneView::paintLine(QPainter &painter, Position line, int y) const
{
    const bool focused = hasFocus();
    const Position selFrom = selectionStart();
    const Position selTo = selectionEnd();
    const int left = textLeft();
    const qreal right = xOffset() + viewport()->width();
    // Of a long line, the chunks that show, each laid out on its own.
    for (Slice s = sliceAtX(line, xOffset());; s = sliceAt(line, s.to)) {
        layOut(s, true);
        QList<QTextLayout::FormatRange> selections;
        if (focused && selFrom < selTo && selFrom <= s.to && selTo >= s.from) {
            QTextCharFormat format;
            format.setBackground(palette().brush(QPalette::Active, QPalette::Highlight));
            format.setForeground(palette().brush(QPalette::Active, QPalette::HighlightedText));
            const int a = s.utf16At(selFrom);
            const int b = s.utf16At(selTo);
            if (b > a)
                selections.append({a, b - a, format});
        }
        const QTextLine textLine = s.layout->lineAt(0);
        s.layout->draw(&painter, QPointF(left + s.x, y), selections);
        const bool caretHere = m_caret >= s.from && (m_caret < s.to || s.to == s.lineEnd);
        if (focused && caretHere && m_buffer.lineOf(m_caret) == line)
            paintCaret(painter, QPointF(left + s.x + textLine.cursorToX(s.utf16At(m_caret)), y));
        const bool more = s.to < s.lineEnd && s.x + textLine.horizontalAdvance() < right;
        if (s.to - s.from == s.lineEnd - s.lineStart)
            return textLine.naturalTextWidth();
        if (!more)
            return lineWidth(line);
    }
}

void PaneView::paintCaret(QPainter &painter, QPointF at) const
{
    const int height = lineHeight();
    if (m_preedit.isEmpty()) {
        painter.fillRect(QRectF(at.x(), at.y(), 1, height), Qt::black);
        return;
    }
    QTextLayout preedit(m_preedit, font());
    preedit.beginLayout();
    QTextLine pl = preedit.createLine();
    pl.setLineWidth(kLineWidth);
    preedit.endLayout();
    const QRectF box(at.x(), at.y(), pl.naturalTextWidth(), height);
    painter.fillRect(box, Qt::white);
    preedit.draw(&painter, at);
    painter.fillRect(QRectF(at.x(), at.y() + height - 1, box.width(), 1), Qt::black);
    m_laidOut += m_preedit.size();
}

void PaneView::updateScrollBars()
{
    const int shown = linesOnScreen();
    const Position lines = m_buffer.lineCount();
    QScrollBar *v = verticalScrollBar();
    v->setRange(0, int(std::clamp<Position>(lines - shown, 0, INT_MAX)));
    v->setPageStep(shown);
    v->setSingleStep(1);
    const int area = std::max(1, viewport()->width() - numberMarginWidth() - kLeftPad);
    QScrollBar *h = horizontalScrollBar();
    h->setRange(0, std::max(0, m_scrollWidth - area));
    h->setPageStep(area);
    h->setSingleStep(std::max(1, int(averageWidth() * 3)));
}

void PaneView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void PaneView::scrollContentsBy(int, int)
{
    viewport()->update();
}

void PaneView::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        m_widths.setFont(font(), tabStop());
        updateScrollBars();
        viewport()->update();
    }
}

bool PaneView::event(QEvent *event)
{
    // The window's shortcuts do not take the keys a pane edits or moves with.
    if (event->type() == QEvent::ShortcutOverride) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (keyOf(key) != Key::None) {
            key->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

void PaneView::keyPressEvent(QKeyEvent *event)
{
    const Key key = keyOf(event);
    if (key == Key::None) {
        event->ignore();
        return;
    }
    event->accept();
    if (key != Key::Type)
        m_typing = false;
    if (editsText(key) && m_readOnly)
        return;
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    const Position size = m_buffer.size();
    const Position line = m_buffer.lineOf(m_caret);
    const auto upDown = [&](Position lines) {
        const Position target = std::clamp<Position>(line + lines, 0, m_buffer.lineCount() - 1);
        if (m_column < 0)
            m_column = xOf(m_caret);
        const qreal column = m_column;
        moveCaret(positionInLine(target, column), extend);
        m_column = column;
    };
    switch (key) {
    case Key::SelectAll:
        selectAll();
        break;
    case Key::Copy:
        copy();
        break;
    case Key::Cut:
        cut();
        break;
    case Key::Paste:
        paste();
        break;
    case Key::Undo:
        undo();
        break;
    case Key::Redo:
        redo();
        break;
    case Key::Type:
        type(PaneBytes::fromText(event->text()));
        break;
    case Key::Newline:
        replaceSelection("\r\n");
        break;
    case Key::Backspace:
        if (hasSelectedText())
            replaceSelection({});
        else if (m_caret > 0)
            edit(previousCharacter(m_caret), m_caret - previousCharacter(m_caret), {});
        break;
    case Key::Delete:
        if (hasSelectedText())
            replaceSelection({});
        else if (m_caret < size)
            edit(m_caret, nextCharacter(m_caret) - m_caret, {});
        break;
    case Key::Left:
        moveCaret(!extend && hasSelectedText() ? selectionStart() : previousCharacter(m_caret),
                  extend);
        break;
    case Key::Right:
        moveCaret(!extend && hasSelectedText() ? selectionEnd() : nextCharacter(m_caret), extend);
        break;
    case Key::WordLeft:
        moveCaret(wordLeft(m_caret), extend);
        break;
    case Key::WordRight:
        moveCaret(wordRight(m_caret), extend);
        break;
    case Key::Up:
        upDown(-1);
        break;
    case Key::Down:
        upDown(1);
        break;
    case Key::ScrollUp:
        setFirstVisibleLine(firstVisibleLine() - 1);
        break;
    case Key::ScrollDown:
        setFirstVisibleLine(firstVisibleLine() + 1);
        break;
    case Key::Home:
        moveCaret(m_buffer.lineStart(line), extend);
        break;
    case Key::End:
        moveCaret(m_buffer.lineEnd(line), extend);
        break;
    case Key::DocumentStart:
        moveCaret(0, extend);
        break;
    case Key::DocumentEnd:
        moveCaret(size, extend);
        break;
    case Key::PageUp:
    case Key::PageDown: {
        const Position step = std::max(1, linesOnScreen() - 1) * (key == Key::PageUp ? -1 : 1);
        setFirstVisibleLine(firstVisibleLine() + step);
        upDown(step);
        break;
    }
    case Key::None:
        break;
    }
}

void PaneView::moveCaret(Position to, bool extend)
{
    m_typing = false;
    m_caret = std::clamp<Position>(to, 0, m_buffer.size());
    if (!extend)
        m_anchor = m_caret;
    m_column = -1;
    ensureCaretVisible();
    if (extend)
        offerSelection();
    viewport()->update();
    emit selectionMoved();
}

Position PaneView::nextCharacter(Position at) const
{
    const Position size = m_buffer.size();
    if (at >= size)
        return size;
    if (m_buffer.at(at) == '\r' && m_buffer.at(at + 1) == '\n')
        return at + 2;
    Position p = at + 1;
    while (p < size && isContinuation(m_buffer.at(p)))
        ++p;
    return p;
}

Position PaneView::previousCharacter(Position at) const
{
    if (at <= 0)
        return 0;
    if (at >= 2 && m_buffer.at(at - 1) == '\n' && m_buffer.at(at - 2) == '\r')
        return at - 2;
    Position p = at - 1;
    while (p > 0 && isContinuation(m_buffer.at(p)))
        --p;
    return p;
}

Position PaneView::wordRight(Position at) const
{
    const Position size = m_buffer.size();
    if (at >= size)
        return size;
    const CharClass kind = classOf(m_buffer.at(at));
    if (kind == CharClass::Break)
        at = nextCharacter(at);
    else
        while (at < size && classOf(m_buffer.at(at)) == kind)
            at = nextCharacter(at);
    while (at < size && classOf(m_buffer.at(at)) == CharClass::Space)
        ++at;
    return at;
}

Position PaneView::wordLeft(Position at) const
{
    while (at > 0 && classOf(m_buffer.at(at - 1)) == CharClass::Space)
        --at;
    if (at <= 0)
        return 0;
    const CharClass kind = classOf(m_buffer.at(at - 1));
    if (kind == CharClass::Break)
        return previousCharacter(at);
    while (at > 0 && classOf(m_buffer.at(at - 1)) == kind)
        at = previousCharacter(at);
    return at;
}

std::pair<Position, Position> PaneView::wordAround(Position at) const
{
    const Position size = m_buffer.size();
    const Position lineStart = m_buffer.lineStart(m_buffer.lineOf(at));
    const Position lineEnd = m_buffer.lineEnd(m_buffer.lineOf(at));
    if (at >= lineEnd && at > lineStart)
        at = previousCharacter(at);
    if (at >= size || at >= lineEnd)
        return {at, at};
    const CharClass kind = classOf(m_buffer.at(at));
    Position from = at;
    while (from > lineStart && at - from < kWordReach && classOf(m_buffer.at(from - 1)) == kind)
        from = previousCharacter(from);
    Position to = nextCharacter(at);
    while (to < lineEnd && to - at < kWordReach && classOf(m_buffer.at(to)) == kind)
        to = nextCharacter(to);
    return {from, to};
}

void PaneView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const QPoint point = event->position().toPoint();
    const Position at = positionAt(point);
    // A press on the selection may start a drag of it; a click there puts
    // the caret down when the button comes up.
    if (!(event->modifiers() & Qt::ShiftModifier) && at >= selectionStart()
        && at < selectionEnd()) {
        m_dragPending = true;
        m_dragFrom = point;
        return;
    }
    m_selecting = true;
    moveCaret(at, event->modifiers() & Qt::ShiftModifier);
}

void PaneView::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragPending && (event->buttons() & Qt::LeftButton)
        && (event->position().toPoint() - m_dragFrom).manhattanLength()
               >= QApplication::startDragDistance()) {
        m_dragPending = false;
        dragSelection();
        return;
    }
    if (!m_selecting || !(event->buttons() & Qt::LeftButton))
        return;
    const Position at = positionAt(event->position().toPoint());
    if (at != m_caret) {
        m_caret = at;
        m_column = -1;
        ensureCaretVisible();
        viewport()->update();
        emit selectionMoved();
    }
}

void PaneView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_dragPending) {
        m_dragPending = false;
        moveCaret(positionAt(event->position().toPoint()), false);
    }
    if (event->button() == Qt::LeftButton && m_selecting) {
        m_selecting = false;
        offerSelection();
    }
}

void PaneView::dragSelection()
{
    const Position from = selectionStart();
    const Position length = selectionEnd() - from;
    auto *drag = new QDrag(this);
    drag->setMimeData(new SelectionData(m_buffer.parts(from, length), this));
    m_movedHere = false;
    const Qt::DropActions actions = m_readOnly ? Qt::CopyAction : Qt::CopyAction | Qt::MoveAction;
    const Qt::DropAction done = drag->exec(actions, Qt::MoveAction);
    // Moved to another place: the text leaves this pane (unless it moved
    // within it, which the drop did).
    if (done == Qt::MoveAction && !m_movedHere && !m_readOnly)
        edit(from, length, {});
}

void PaneView::dragEnterEvent(QDragEnterEvent *event)
{
    dragMoveEvent(event);
}

void PaneView::dragMoveEvent(QDragMoveEvent *event)
{
    if (m_readOnly || !event->mimeData()->hasText()) {
        event->ignore();
        return;
    }
    m_dropAt = positionAt(event->position().toPoint());
    viewport()->update();
    if (isOwnSelection(event->mimeData()))
        event->setDropAction(event->modifiers() & Qt::ControlModifier ? Qt::CopyAction
                                                                      : Qt::MoveAction);
    else
        event->setDropAction(event->proposedAction());
    event->accept();
}

void PaneView::dragLeaveEvent(QDragLeaveEvent *)
{
    m_dropAt = -1;
    viewport()->update();
}

void PaneView::dropEvent(QDropEvent *event)
{
    m_dropAt = -1;
    viewport()->update();
    if (m_readOnly || !event->mimeData()->hasText()) {
        event->ignore();
        return;
    }
    const Position at = positionAt(event->position().toPoint());
    const bool own = isOwnSelection(event->mimeData());
    const bool copy = !own || (event->modifiers() & Qt::ControlModifier);
    if (own && at >= selectionStart() && at <= selectionEnd()) {
        event->ignore(); // onto itself: nothing to do
        return;
    }
    if (!copy) {
        moveSelectionTo(at);
        m_movedHere = true;
        event->setDropAction(Qt::MoveAction);
        event->accept();
        return;
    }
    const QByteArray bytes =
        own ? m_buffer.bytes(selectionStart(), selectionEnd() - selectionStart())
            : withCrLf(PaneBytes::fromText(event->mimeData()->text()));
    edit(at, 0, bytes);
    setSelection(at, at + bytes.size(), true, true);
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

bool PaneView::isOwnSelection(const QMimeData *mime) const
{
    const auto *selection = qobject_cast<const SelectionData *>(mime);
    return selection && selection->origin() == this && hasSelectedText();
}

void PaneView::moveSelectionTo(Position at)
{
    // One step of undo: the stretch from the selection to `at` is replaced
    // by the same bytes in their new order; red stays on the bytes it was on.
    const Position a = selectionStart();
    const Position b = selectionEnd();
    const Position from = std::min(a, at);
    const Position to = std::max(b, at);
    const Position newStart = at < a ? at : at - (b - a);
    const auto moved = [&](Position p) {
        if (p >= a && p < b)
            return p - a + newStart;
        return at < a ? p + (b - a) : p - (b - a);
    };
    Compare::ColourRanges red;
    const Compare::RunSet &runs = m_buffer.red();
    for (qsizetype i = std::max<qsizetype>(runs.indexAtOrBefore(from), 0);
         i < runs.count() && runs.at(i).start < to; ++i) {
        const Compare::ColourRange r = runs.at(i);
        // Each run cut at the selection's ends, so that each piece moves whole.
        for (const auto &[lo, hi] : {std::pair{from, a}, std::pair{a, b}, std::pair{b, to}}) {
            const Position start = std::max(r.start, lo);
            const Position end = std::min(r.start + r.length, hi);
            if (start < end)
                red.push_back({moved(start), end - start});
        }
    }
    const QByteArray selected = m_buffer.bytes(a, b - a);
    const QByteArray between = at < a ? m_buffer.bytes(at, a - at) : m_buffer.bytes(b, at - b);
    edit(from, to - from, at < a ? selected + between : between + selected);
    std::sort(red.begin(), red.end(),
              [](const Compare::ColourRange &x, const Compare::ColourRange &y) {
                  return x.start < y.start;
              });
    m_buffer.colour(red);
    setSelection(newStart, newStart + (b - a), true, true);
}

void PaneView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const auto [from, to] = wordAround(positionAt(event->position().toPoint()));
    setSelection(from, to, true);
}

void PaneView::inputMethodEvent(QInputMethodEvent *event)
{
    if (m_readOnly) {
        event->ignore();
        return;
    }
    if (!event->commitString().isEmpty() || event->replacementLength() > 0)
        replaceSelection(PaneBytes::fromText(event->commitString()));
    m_preedit = event->preeditString();
    viewport()->update();
    event->accept();
}

QVariant PaneView::inputMethodQuery(Qt::InputMethodQuery query) const
{
    switch (query) {
    case Qt::ImEnabled:
        return !m_readOnly;
    case Qt::ImCursorRectangle:
        return characterRect(m_caret).translated(viewport()->pos());
    case Qt::ImFont:
        return font();
    case Qt::ImHints:
        return int(Qt::ImhMultiLine);
    case Qt::ImSurroundingText:
    case Qt::ImCursorPosition:
    case Qt::ImAnchorPosition: {
        // The caret's line, or of a long one the stretch around the caret.
        const Position line = m_buffer.lineOf(m_caret);
        const Position from = std::max(m_buffer.lineStart(line), m_caret - 1024);
        const Position to = std::min(m_buffer.lineEnd(line), m_caret + 1024);
        const QByteArray bytes = m_buffer.bytes(from, to - from);
        if (query == Qt::ImSurroundingText)
            return PaneBytes::toText(bytes);
        const Position at = query == Qt::ImCursorPosition ? m_caret : m_anchor;
        const qsizetype within = std::clamp<Position>(at - from, 0, to - from);
        return int(PaneBytes::utf16Offsets(bytes, {within})[0]);
    }
    case Qt::ImCurrentSelection:
        return selectionEnd() - selectionStart() <= (1 << 20) ? selectedText() : QString();
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}

void PaneView::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void PaneView::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    m_selecting = false;
    viewport()->update();
}

qint64 PaneView::utf16Units(Position from, Position to) const
{
    qint64 units = 0;
    for (const TextBuffer::Part &part : m_buffer.parts(from, to - from))
        part.forEachSlice(
            [&units](QByteArrayView slice) { units += PaneBytes::utf16Length(slice); });
    return units;
}

qint64 PaneView::unitsOf(Position from, Position length) const
{
    // An edit of more than this drops the marks after it instead: they are
    // made again when next asked for (by a screen reader: nothing else asks).
    // Counting is the window's work, and 100 MB took 20 to 70 ms.
    constexpr Position kMostCounted = Position(4) << 20;
    return length > kMostCounted ? -1 : utf16Units(from, from + length);
}

qint64 PaneView::unitsToRemove(Position from, Position length) const
{
    if (const qint64 counted = unitsOf(from, length); counted >= 0)
        return counted;
    // The first mark at or after the range's end, within a block of it.
    const Position to = from + length;
    const auto next = std::lower_bound(
        m_utf16Marks.begin(), m_utf16Marks.end(), to,
        [](const Utf16Mark &mark, Position position) { return mark.at < position; });
    qint64 atEnd = -1;
    if (next != m_utf16Marks.end() && next->at - to <= PaneView::kUtf16Block)
        atEnd = next->before - utf16Units(to, next->at);
    else if (to == m_buffer.size() && m_utf16Length >= 0)
        atEnd = m_utf16Length;
    // Where marks before the range are missing, counting up to it could cost
    // as much as the range: not counted then either.
    const auto before = std::upper_bound(
        m_utf16Marks.begin(), m_utf16Marks.end(), from,
        [](Position position, const Utf16Mark &mark) { return position < mark.at; });
    if (atEnd < 0 || from - std::prev(before)->at > PaneView::kUtf16Block)
        return -1;
    return atEnd - utf16Offset(from);
}

size_t PaneView::makeMarksAfter(size_t i,
                                const std::function<bool(const Utf16Mark &)> &wanted) const
{
    const Position stop = i + 1 < m_utf16Marks.size() ? m_utf16Marks[i + 1].at : m_buffer.size();
    std::vector<Utf16Mark> made;
    Utf16Mark last = m_utf16Marks[i];
    while (last.at + PaneView::kUtf16Block < stop && wanted(last)) {
        const Position at = last.at + PaneView::kUtf16Block;
        last = {at, last.before + utf16Units(last.at, at)};
        made.push_back(last);
    }
    m_utf16Marks.insert(m_utf16Marks.begin() + std::ptrdiff_t(i + 1), made.begin(), made.end());
    return i + made.size();
}

void PaneView::utf16Edited(Position at, Position removed, Position inserted, qint64 went,
                           qint64 came)
{
    // Marks up to the edit hold; those in what it removed go; those after
    // it move with the text, or go too when the edit was not counted.
    const auto after = std::upper_bound(
        m_utf16Marks.begin(), m_utf16Marks.end(), at,
        [](Position position, const Utf16Mark &mark) { return position < mark.at; });
    if (went < 0 || came < 0) {
        m_utf16Marks.erase(after, m_utf16Marks.end());
        m_utf16Length = -1;
        return;
    }
    const auto moved = std::lower_bound(
        after, m_utf16Marks.end(), at + removed,
        [](const Utf16Mark &mark, Position position) { return mark.at < position; });
    for (auto mark = moved; mark != m_utf16Marks.end(); ++mark) {
        mark->at += inserted - removed;
        mark->before += came - went;
    }
    m_utf16Marks.erase(after, moved);
    if (m_utf16Length >= 0)
        m_utf16Length += came - went;
}

qint64 PaneView::utf16Offset(Position position) const
{
    position = std::clamp<Position>(position, 0, m_buffer.size());
    if (position == m_buffer.size() && m_utf16Length >= 0)
        return m_utf16Length;
    const auto next =
        std::upper_bound(m_utf16Marks.begin(), m_utf16Marks.end(), position,
                         [](Position p, const Utf16Mark &mark) { return p < mark.at; });
    const size_t i =
        makeMarksAfter(size_t(next - m_utf16Marks.begin()) - 1, [&](const Utf16Mark &mark) {
            return position - mark.at > PaneView::kUtf16Block;
        });
    const Utf16Mark &mark = m_utf16Marks[i];
    const qint64 offset = mark.before + utf16Units(mark.at, position);
    if (position == m_buffer.size())
        m_utf16Length = offset;
    return offset;
}

Position PaneView::positionOfUtf16(qint64 offset) const
{
    const Position size = m_buffer.size();
    offset = std::max<qint64>(offset, 0);
    // The last mark that counts no more than the offset, marks made as far
    // as needed so that the next one lies within a block of it.
    const auto lastWithin = [&] {
        const auto next = std::upper_bound(
            m_utf16Marks.begin(), m_utf16Marks.end(), offset,
            [](qint64 units, const Utf16Mark &mark) { return units < mark.before; });
        return size_t(next - m_utf16Marks.begin()) - 1;
    };
    makeMarksAfter(lastWithin(), [&](const Utf16Mark &mark) { return mark.before <= offset; });
    const Utf16Mark mark = m_utf16Marks[lastWithin()];
    const Position start = mark.at;
    qint64 units = mark.before;
    if (units >= offset)
        return start;
    // Up to the next mark (and the end of a character that crosses it): a
    // character at a time.
    Position at = start;
    const Position end = std::min(size, start + PaneView::kUtf16Block + 4);
    Position found = -1;
    for (const TextBuffer::Part &part : m_buffer.parts(start, end - start)) {
        part.forEachSlice([&](QByteArrayView slice) {
            const auto *p = reinterpret_cast<const unsigned char *>(slice.data());
            for (qsizetype i = 0; i < slice.size() && found < 0; ++i, ++at) {
                if ((p[i] & 0xC0) == 0x80)
                    continue; // inside a character
                if (units >= offset)
                    found = at;
                units += 1 + (p[i] >= 0xF0);
            }
        });
        if (found >= 0)
            return found;
    }
    return end;
}

QMenu *PaneView::createStandardContextMenu()
{
    auto *menu = new QMenu(this);
    const bool selected = hasSelectedText();
    const auto add = [menu](const QString &text, bool enabled, auto slot) {
        QAction *action = menu->addAction(text);
        action->setEnabled(enabled);
        QObject::connect(action, &QAction::triggered, menu, slot);
    };
    add(tr("&Undo"), isUndoAvailable(), [this] { undo(); });
    add(tr("&Redo"), isRedoAvailable(), [this] { redo(); });
    menu->addSeparator();
    add(tr("Cu&t"), !m_readOnly && selected, [this] { cut(); });
    add(tr("&Copy"), selected, [this] { copy(); });
    const QMimeData *mime = QGuiApplication::clipboard()->mimeData();
    add(tr("&Paste"), !m_readOnly && mime && mime->hasText(), [this] { paste(); });
    add(tr("Delete"), !m_readOnly && selected, [this] { replaceSelection({}); });
    menu->addSeparator();
    add(tr("Select All"), m_buffer.size() > 0, [this] { selectAll(); });
    return menu;
}
