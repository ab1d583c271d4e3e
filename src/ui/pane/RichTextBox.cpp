#include "pane/RichTextBox.h"

#include <algorithm>
#include <array>
#include <limits>

#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QFont>
#include <QKeyEvent>
#include <QMenu>
#include <QtConcurrent/QtConcurrentRun>

#include "pane/PaneAccessible.h"
#include "pane/PaneDocument.h"
#include "pane/PaneKeys.h"
#include "runner/BackgroundRun.h"
#include "text/PaneBytes.h"

namespace {

using Sci = QsciScintillaBase;

constexpr int kMargins = 5;
// Styles 1 and up colour the text; style 0 is the black of plain text.
constexpr size_t kColourStyles = 31;
// How much text one message styles or reads the styles of.
constexpr qsizetype kStyleSlice = qsizetype(1) << 20;
// About the bytes the component styles in the time it takes for a message.
constexpr qsizetype kBytesPerMessage = 128;
// No stretch of the text is known to be black to its end.
constexpr qsizetype kNothingKnown = std::numeric_limits<qsizetype>::max();
// The largest selection offered to X11's primary selection (see selectBytes()).
constexpr qsizetype kOfferedSelection = qsizetype(1) << 20;

} // namespace

RichTextBox::RichTextBox(const QString &name, QWidget *parent) : QsciScintilla(parent)
{
    static const bool factoryInstalled = [] {
        PaneAccessible::install();
        PaneDocument::prepareMaker();
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    setObjectName(name);
    for (int margin = 0; margin < kMargins; ++margin)
        send(Sci::SCI_SETMARGINWIDTHN, margin, 0);
    // The horizontal scroll bar follows the longest line seen.
    send(Sci::SCI_SETSCROLLWIDTH, 1);
    send(Sci::SCI_SETSCROLLWIDTHTRACKING, 1);
    // No change notifications: the pane does not use them, and on each the
    // component's accessibility would count the characters before it.
    send(Sci::SCI_SETMODEVENTMASK, 0);
    // As in a rich text box, the selection shows only while the pane has the
    // focus: a comparison leaves its last mark selected, and it stays red.
    send(Sci::SCI_HIDESELECTION, 1);
    // A pane has no annotations. Shown, as the component has them by default,
    // every new document and every inserted run of lines has the height of
    // each of its lines worked out: 100 ms for 20 million lines.
    send(Sci::SCI_ANNOTATIONSETVISIBLE, Sci::ANNOTATION_HIDDEN);
    keepRichTextKeys(*standardCommands());
    // Only while shareBytes() has readers: an edit is about to change the text.
    connect(this, &QsciScintillaBase::SCN_MODIFIED, this, [this](int, int type) {
        if (type & (Sci::SC_MOD_BEFOREINSERT | Sci::SC_MOD_BEFOREDELETE))
            sayTextWillChange();
    });
    connect(this, &QsciScintillaBase::SCN_UPDATEUI, this, [this](int updated) {
        if (updated & Sci::SC_UPDATE_SELECTION)
            PaneAccessible::announceCaret(*this);
    });
    applyFont();
    // The first document is made like every later one.
    adopt(PaneDocument());
}

long RichTextBox::send(unsigned int message, qsizetype wParam, qsizetype lParam) const
{
    return SendScintilla(message, static_cast<unsigned long>(wParam), long(lParam));
}

// White paper, black text in the widget's font, on every style.
void RichTextBox::applyFont()
{
    const QFont f = font();
    const QByteArray family = f.family().toUtf8();
    SendScintilla(Sci::SCI_STYLESETFONT, Sci::STYLE_DEFAULT, family.constData());
    send(Sci::SCI_STYLESETSIZEFRACTIONAL, Sci::STYLE_DEFAULT, qsizetype(f.pointSizeF() * 100));
    send(Sci::SCI_STYLESETWEIGHT, Sci::STYLE_DEFAULT, f.weight());
    send(Sci::SCI_STYLESETITALIC, Sci::STYLE_DEFAULT, f.italic());
    send(Sci::SCI_STYLESETFORE, Sci::STYLE_DEFAULT, qsizetype(kBlack));
    send(Sci::SCI_STYLESETBACK, Sci::STYLE_DEFAULT, 0xFFFFFF);
    send(Sci::SCI_STYLECLEARALL);
    send(Sci::SCI_STYLESETFORE, Sci::STYLE_LINENUMBER, 0x606060);
    send(Sci::SCI_STYLESETBACK, Sci::STYLE_LINENUMBER, 0xF0F0F0);
    for (size_t i = 0; i < m_styleColours.size(); ++i)
        send(Sci::SCI_STYLESETFORE, qsizetype(i) + 1, qsizetype(m_styleColours[i]));
}

void RichTextBox::changeEvent(QEvent *event)
{
    QsciScintilla::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        applyFont();
        fitLineNumbers();
    }
}

// What each document needs that the component keeps per document.
void RichTextBox::setDocumentSettings(bool readOnly)
{
    send(Sci::SCI_SETCODEPAGE, Sci::SC_CP_UTF8);
    send(Sci::SCI_SETEOLMODE, Sci::SC_EOL_CRLF);
    send(Sci::SCI_SETUNDOCOLLECTION, 1);
    send(Sci::SCI_EMPTYUNDOBUFFER);
    send(Sci::SCI_SETREADONLY, readOnly);
}

QByteArray RichTextBox::shareBytes()
{
    if (m_sharing++ == 0)
        send(Sci::SCI_SETMODEVENTMASK, Sci::SC_MOD_BEFOREINSERT | Sci::SC_MOD_BEFOREDELETE);
    const QByteArrayView view = bytes();
    return QByteArray::fromRawData(view.data(), view.size());
}

void RichTextBox::unshareBytes()
{
    if (m_sharing > 0 && --m_sharing == 0)
        send(Sci::SCI_SETMODEVENTMASK, 0);
}

void RichTextBox::sayTextWillChange()
{
    if (m_sharing > 0)
        emit textAboutToChange();
}

RichTextBox::~RichTextBox()
{
    for (QFuture<void> &release : m_releases)
        release.waitForFinished();
}

void RichTextBox::adopt(PaneDocument &&document)
{
    sayTextWillChange();
    const bool readOnly = isReadOnly();
    PaneDocument taken = std::move(document);
    void *pending = taken.take();
    void *old = SendScintillaPtrResult(Sci::SCI_GETDOCPOINTER);
    SendScintilla(Sci::SCI_ADDREFDOCUMENT, 0, old); // kept past the swap, for releaseLater()
    SendScintilla(Sci::SCI_SETDOCPOINTER, 0, pending);
    SendScintilla(Sci::SCI_RELEASEDOCUMENT, 0, pending); // the pane holds its own reference
    releaseLater(old);
    setDocumentSettings(readOnly);
    m_plain = true;
    m_blackUpTo = 0;
    m_blackFrom = 0;
    forgetRedRuns();
    fitLineNumbers();
}

void RichTextBox::releaseLater(void *document)
{
    // Freeing a text of gigabytes takes the better part of a second. Letting
    // a document go touches nothing of the pane but the document, which no
    // one else holds now.
    std::erase_if(m_releases, [](const QFuture<void> &release) { return release.isFinished(); });
    m_releases.push_back(QtConcurrent::run(
        &workerPool(), [this, document] { SendScintilla(Sci::SCI_RELEASEDOCUMENT, 0, document); }));
}

void RichTextBox::markTextKnown()
{
    // The component's save point stands for "the text the runs describe":
    // any edit of the user's moves away from it.
    send(Sci::SCI_SETSAVEPOINT);
}

QByteArrayView RichTextBox::bytes() const
{
    // The component moves its gap to the end and gives its buffer as it is.
    const void *start = SendScintillaPtrResult(Sci::SCI_GETCHARACTERPOINTER);
    return QByteArrayView(static_cast<const char *>(start), send(Sci::SCI_GETLENGTH));
}

QString RichTextBox::text() const
{
    return PaneBytes::toText(bytes());
}

void RichTextBox::setBytes(QByteArrayView bytes)
{
    PaneDocument document(PaneDocument::Colours::Kept, 0, bytes.size());
    document.append(bytes);
    adopt(std::move(document));
}

void RichTextBox::setText(const QString &text)
{
    setBytes(PaneBytes::fromText(text));
}

void RichTextBox::appendText(const QString &more)
{
    const QByteArray bytes = PaneBytes::fromText(more);
    sayTextWillChange();
    const bool readOnly = isReadOnly();
    const bool known = send(Sci::SCI_GETMODIFY) == 0;
    send(Sci::SCI_SETREADONLY, 0);
    send(Sci::SCI_SETUNDOCOLLECTION, 0);
    // The pointer goes as a pointer: through send()'s long it would lose its
    // upper half on 64-bit Windows.
    SendScintilla(Sci::SCI_APPENDTEXT, uintptr_t(bytes.size()), bytes.constData());
    if (known)
        markTextKnown(); // text added at the end moves no run
    send(Sci::SCI_SETUNDOCOLLECTION, 1);
    // Edits made before can no longer be undone at the places they were.
    send(Sci::SCI_EMPTYUNDOBUFFER);
    send(Sci::SCI_SETREADONLY, readOnly);
    fitLineNumbers();
}

qsizetype RichTextBox::textLength() const
{
    return PaneBytes::utf16Length(bytes());
}

qsizetype RichTextBox::lineCount() const
{
    return send(Sci::SCI_GETLINECOUNT);
}

void RichTextBox::select(qsizetype start, qsizetype length)
{
    start = std::max<qsizetype>(start, 0);
    const std::vector<qsizetype> at =
        PaneBytes::byteOffsets(bytes(), {start, start + std::max<qsizetype>(length, 0)});
    selectBytes(at[0], at[1] - at[0]);
}

void RichTextBox::selectBytes(qsizetype start, qsizetype length)
{
    const qsizetype size = send(Sci::SCI_GETLENGTH);
    start = std::clamp<qsizetype>(start, 0, size);
    const qsizetype end = std::clamp<qsizetype>(start + length, start, size);
    if (end - start <= kOfferedSelection) {
        send(Sci::SCI_SETSEL, start, end);
        return;
    }
    selectUnoffered(start, end);
    send(Sci::SCI_SCROLLCARET);
}

void RichTextBox::selectAll(bool select)
{
    const qsizetype size = send(Sci::SCI_GETLENGTH);
    if (!select || size <= kOfferedSelection)
        QsciScintilla::selectAll(select);
    else // as the component selects all: the caret at the start, the view where it was
        selectUnoffered(size, 0);
}

// On X11 the component offers every selection it makes as the primary
// selection, copied there at once: for a mark that is a whole file of
// gigabytes, a stall of tens of seconds and twice its size in memory. A
// selection this large is only shown, as Qt's own text boxes do with a
// selection the program makes.
void RichTextBox::selectUnoffered(qsizetype anchor, qsizetype caret)
{
    send(Sci::SCI_SETEMPTYSELECTION, caret);
    send(Sci::SCI_SETSELECTIONNANCHOR, 0, anchor);
    send(Sci::SCI_SETSELECTIONNCARET, 0, caret);
    emit QSCN_SELCHANGED(true); // as the component says of a selection it made
}

void RichTextBox::keyPressEvent(QKeyEvent *event)
{
    if (event == QKeySequence::SelectAll) {
        selectAll();
        event->accept();
        return;
    }
    QsciScintilla::keyPressEvent(event);
}

int RichTextBox::styleFor(Colour colour)
{
    if (colour == kBlack)
        return 0;
    const auto known = std::find(m_styleColours.begin(), m_styleColours.end(), colour);
    if (known != m_styleColours.end())
        return 1 + int(known - m_styleColours.begin());
    if (m_styleColours.size() >= kColourStyles)
        return int(m_styleColours.size()); // never with the two colours the window uses
    m_styleColours.push_back(colour);
    const int style = int(m_styleColours.size());
    send(Sci::SCI_STYLESETFORE, style, qsizetype(colour));
    return style;
}

Colour RichTextBox::colourOfStyle(int style) const
{
    return style > 0 && size_t(style) <= m_styleColours.size() ? m_styleColours[size_t(style) - 1]
                                                               : kBlack;
}

void RichTextBox::keepColours()
{
    // A document made without colours (a result pane's) gets them when first
    // coloured: it is made again, with its text.
    if (send(Sci::SCI_GETDOCUMENTOPTIONS) & Sci::SC_DOCUMENTOPTION_STYLES_NONE)
        setBytes(QByteArray(bytes().data(), bytes().size()));
}

QByteArray RichTextBox::stylesIn(qsizetype from, qsizetype to) const
{
    QByteArray cells((to - from) * 2 + 2, Qt::Uninitialized);
    SendScintilla(Sci::SCI_GETSTYLEDTEXT, long(from), long(to), cells.data());
    QByteArray styles(to - from, Qt::Uninitialized);
    for (qsizetype i = 0; i < styles.size(); ++i)
        styles[i] = cells[2 * i + 1];
    return styles;
}

void RichTextBox::colourRanges(const Compare::ColourRanges &ranges, Colour colour)
{
    const Compare::ColourRanges inBytes = PaneBytes::toByteRanges(bytes(), ranges);
    colourByteRanges(Compare::normalised(inBytes), colour);
}

// Colours are styles, one byte per byte of text. The ranges are written a
// slice of text at a time: the styles there are read, the ranges laid on
// them and the slice written back in one message, so a million ranges cost
// about as much as one.
void RichTextBox::colourByteRanges(std::span<const Compare::ColourRange> ranges, Colour colour)
{
    if (ranges.empty())
        return;
    keepColours();
    const char style = char(styleFor(colour));
    const qsizetype length = send(Sci::SCI_GETLENGTH);
    // After an edit of the user's the runs are read again when next asked
    // for, not here: a command that blackens the whole text first would
    // wait for the reading of colours it is about to replace.
    if (send(Sci::SCI_GETMODIFY) != 0) {
        m_redRunsStale = true;
        m_blackFrom = kNothingKnown; // an edit may have moved colours into it
    }
    if (!m_redRunsStale)
        trackRedRuns(ranges, colour, length);
    // The component styles about a byte every few nanoseconds and handles a
    // message in about a microsecond: few ranges over much text are styled one
    // by one, many close together a slice of text at a time.
    const qsizetype span = ranges.back().start + ranges.back().length - ranges.front().start;
    if (qsizetype(ranges.size()) * kBytesPerMessage < span) {
        for (const Compare::ColourRange &r : ranges) {
            const qsizetype start = std::clamp<qsizetype>(r.start, 0, length);
            const qsizetype end = std::clamp<qsizetype>(r.start + r.length, start, length);
            send(Sci::SCI_STARTSTYLING, start, 0);
            send(Sci::SCI_SETSTYLING, end - start, style);
        }
    } else {
        colourSlices(ranges, style, length);
    }
    // Black laid from the start to the end leaves the pane without colours.
    for (const Compare::ColourRange &r : ranges) {
        if (style != 0) {
            m_blackUpTo = 0;
            m_blackFrom = std::max(m_blackFrom, r.start + r.length);
        } else if (r.start <= m_blackUpTo) {
            m_blackUpTo = std::max(m_blackUpTo, r.start + r.length);
        }
    }
    m_plain = style == 0 ? m_plain || m_blackUpTo >= length : false;
    if (m_plain) {
        m_blackFrom = 0;
        forgetRedRuns();
    }
}

void RichTextBox::trackRedRuns(std::span<const Compare::ColourRange> ranges, Colour colour,
                               qsizetype length)
{
    if (ranges.back().start + ranges.back().length <= length) {
        colour == kRed ? m_redRuns.add(ranges) : m_redRuns.remove(ranges);
        return;
    }
    Compare::ColourRanges inText;
    for (const Compare::ColourRange &r : ranges) {
        const qsizetype start = std::clamp<qsizetype>(r.start, 0, length);
        inText.push_back({start, std::clamp<qsizetype>(r.start + r.length, start, length) - start});
    }
    colour == kRed ? m_redRuns.add(inText) : m_redRuns.remove(inText);
}

void RichTextBox::forgetRedRuns()
{
    m_redRuns.clear();
    m_redRunsStale = false;
    markTextKnown();
}

void RichTextBox::colourSlices(std::span<const Compare::ColourRange> ranges, char style,
                               qsizetype length)
{
    qsizetype sliceFrom = -1;
    qsizetype sliceTo = -1;
    qsizetype reach = -1; // the end of what the ranges laid on the slice so far
    QByteArray styles;
    // Where the black tail starts, as this call colours on. A slice within
    // it need not be asked for its styles.
    qsizetype blackFrom = m_plain ? 0 : m_blackFrom;
    const auto flush = [&] {
        if (sliceFrom >= 0 && reach > sliceFrom) {
            send(Sci::SCI_STARTSTYLING, sliceFrom, 0);
            SendScintilla(Sci::SCI_SETSTYLINGEX, static_cast<uintptr_t>(reach - sliceFrom),
                          styles.constData());
            if (style != 0)
                blackFrom = std::max(blackFrom, reach);
        }
        sliceFrom = -1;
    };
    for (const Compare::ColourRange &r : ranges) {
        qsizetype start = std::clamp<qsizetype>(r.start, 0, length);
        const qsizetype end = std::clamp<qsizetype>(r.start + r.length, start, length);
        while (start < end) {
            if (sliceFrom < 0 || start < sliceFrom || start >= sliceTo) {
                flush();
                sliceFrom = start;
                sliceTo = std::min(start + kStyleSlice, length);
                styles = sliceFrom >= blackFrom ? QByteArray(sliceTo - sliceFrom, char(0))
                                                : stylesIn(sliceFrom, sliceTo);
                reach = sliceFrom;
            }
            const qsizetype pieceEnd = std::min(end, sliceTo);
            std::fill(styles.begin() + (start - sliceFrom), styles.begin() + (pieceEnd - sliceFrom),
                      style);
            reach = std::max(reach, pieceEnd);
            start = pieceEnd;
        }
    }
    flush();
}

void RichTextBox::colourAll(Colour colour)
{
    keepColours();
    const qsizetype length = send(Sci::SCI_GETLENGTH);
    send(Sci::SCI_STARTSTYLING, 0, 0);
    send(Sci::SCI_SETSTYLING, length, styleFor(colour));
    m_plain = colour == kBlack;
    m_blackUpTo = 0;
    m_blackFrom = m_plain ? 0 : kNothingKnown;
    forgetRedRuns();
    if (colour == kRed && length > 0)
        m_redRuns.add(std::array{Compare::ColourRange{0, length}});
}

Colour RichTextBox::colourAt(qsizetype offset) const
{
    const qsizetype at = PaneBytes::byteOffsets(bytes(), {std::max<qsizetype>(offset, 0)})[0];
    return colourOfStyle(int(send(Sci::SCI_GETSTYLEAT, at)));
}

qsizetype RichTextBox::findRed(qsizetype from, bool forward, bool red) const
{
    const auto it = std::find(m_styleColours.begin(), m_styleColours.end(), kRed);
    const char redStyle =
        it == m_styleColours.end() ? char(-1) : char(1 + (it - m_styleColours.begin()));
    const qsizetype length = send(Sci::SCI_GETLENGTH);
    // Read a little first and more each time: a run usually ends close by.
    qsizetype chunk = 256;
    if (forward) {
        for (qsizetype at = std::max<qsizetype>(from, 0); at < length; at += chunk) {
            chunk = std::min(chunk * 2, kStyleSlice);
            const QByteArray styles = stylesIn(at, std::min(at + chunk, length));
            for (qsizetype i = 0; i < styles.size(); ++i)
                if ((styles[i] == redStyle) == red)
                    return at + i;
        }
        return length;
    }
    for (qsizetype end = std::min(from, length - 1) + 1; end > 0; end -= chunk) {
        chunk = std::min(chunk * 2, kStyleSlice);
        const qsizetype at = std::max<qsizetype>(end - chunk, 0);
        const QByteArray styles = stylesIn(at, end);
        for (qsizetype i = styles.size(); i-- > 0;)
            if ((styles[i] == redStyle) == red)
                return at + i;
    }
    return -1;
}

std::optional<Compare::ColourRange> RichTextBox::redRunFrom(qsizetype from, bool forward)
{
    // From the runs as laid: a run over a whole file is never read back.
    const Compare::RunSet &runs = redRuns();
    if (runs.count() == 0)
        return std::nullopt;
    const qsizetype at = runs.indexAtOrBefore(from);
    const bool inside = at >= 0 && from < runs.at(at).start + runs.at(at).length;
    if (forward) // the next run, or the first after the last
        return runs.at(at + 1 < runs.count() ? at + 1 : 0);
    const qsizetype before = inside ? at - 1 : at;
    return runs.at(before >= 0 ? before : runs.count() - 1);
}

std::optional<Compare::ColourRange> RichTextBox::firstRedRun()
{
    const Compare::RunSet &runs = redRuns();
    return runs.count() > 0 ? std::optional(runs.at(0)) : std::nullopt;
}

const Compare::RunSet &RichTextBox::redRuns()
{
    if (m_redRunsStale || send(Sci::SCI_GETMODIFY) != 0)
        readRedRuns();
    return m_redRuns;
}

void RichTextBox::readRedRuns()
{
    m_blackFrom = kNothingKnown; // read after an edit, which may have moved colours
    forgetRedRuns();
    const qsizetype length = send(Sci::SCI_GETLENGTH);
    for (qsizetype at = 0; at < length;) {
        const qsizetype start = findRed(at, true, true);
        if (start >= length)
            break;
        const qsizetype end = findRed(start, true, false);
        m_redRuns.add(std::array{Compare::ColourRange{start, end - start}});
        at = end;
    }
}

void RichTextBox::setLineNumbersShown(bool shown)
{
    m_lineNumbers = shown;
    send(Sci::SCI_SETMARGINTYPEN, 0, Sci::SC_MARGIN_NUMBER);
    fitLineNumbers();
}

void RichTextBox::fitLineNumbers()
{
    if (!m_lineNumbers) {
        send(Sci::SCI_SETMARGINWIDTHN, 0, 0);
        return;
    }
    // Room for the last line's number and a blank, never less than three digits.
    const QByteArray widest(std::max(3, int(QByteArray::number(lineCount()).size())) + 1, '9');
    const long width = SendScintilla(Sci::SCI_TEXTWIDTH, Sci::STYLE_LINENUMBER, widest.constData());
    send(Sci::SCI_SETMARGINWIDTHN, 0, width);
}

void RichTextBox::focusInEvent(QFocusEvent *event)
{
    send(Sci::SCI_HIDESELECTION, 0);
    QsciScintilla::focusInEvent(event);
}

void RichTextBox::focusOutEvent(QFocusEvent *event)
{
    send(Sci::SCI_HIDESELECTION, 1);
    QsciScintilla::focusOutEvent(event);
}

// Tab and Shift+Tab move the focus on, as in every other control of the
// window, instead of typing a tab into the data.
bool RichTextBox::focusNextPrevChild(bool next)
{
    return QAbstractScrollArea::focusNextPrevChild(next);
}

void RichTextBox::setEditMenuEnabled(bool enabled)
{
    m_editMenu = enabled;
}

void RichTextBox::setMenuExtension(std::function<void(QMenu &)> extend)
{
    m_extendMenu = std::move(extend);
}

QMenu *RichTextBox::createContextMenu()
{
    if (!m_editMenu)
        return new QMenu(this);
    QMenu *menu = createStandardContextMenu();
    if (m_extendMenu)
        m_extendMenu(*menu);
    return menu;
}

void RichTextBox::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createContextMenu();
    if (menu->isEmpty()) {
        delete menu;
        event->ignore();
        return;
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}
