#include "pane/RichTextBox.h"

#include <algorithm>

#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QFont>

#include "pane/PaneDocument.h"
#include "text/PaneBytes.h"

namespace {

using Sci = QsciScintillaBase;

// Colours are indicators drawn as the text's colour: a run costs the same
// whatever its length, and taking every colour away costs no more than the
// runs there are.
constexpr int kFirstIndicator = Sci::INDIC_CONTAINER;
constexpr int kLastIndicator = Sci::INDIC_MAX;
constexpr int kMargins = 5;

} // namespace

RichTextBox::RichTextBox(const QString &name, QWidget *parent) : QsciScintilla(parent)
{
    setObjectName(name);
    for (int margin = 0; margin < kMargins; ++margin)
        send(Sci::SCI_SETMARGINWIDTHN, margin, 0);
    // The horizontal scroll bar follows the longest line seen.
    send(Sci::SCI_SETSCROLLWIDTH, 1);
    send(Sci::SCI_SETSCROLLWIDTHTRACKING, 1);
    // Only the text's own changes are of interest; colouring a million runs
    // must not send a million notifications.
    send(Sci::SCI_SETMODEVENTMASK, Sci::SC_MOD_INSERTTEXT | Sci::SC_MOD_DELETETEXT);
    // As in a rich text box, the selection shows only while the pane has the
    // focus: a comparison leaves its last mark selected, and it stays red.
    send(Sci::SCI_HIDESELECTION, 1);
    applyFont();
    // The first document is made like every later one.
    adopt(PaneDocument(*this));
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
}

void RichTextBox::changeEvent(QEvent *event)
{
    QsciScintilla::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        applyFont();
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

void RichTextBox::adopt(PaneDocument &&document)
{
    const bool readOnly = isReadOnly();
    PaneDocument taken = std::move(document);
    void *pending = taken.take();
    SendScintilla(Sci::SCI_SETDOCPOINTER, 0, pending);
    SendScintilla(Sci::SCI_RELEASEDOCUMENT, 0, pending); // the pane holds its own reference
    setDocumentSettings(readOnly);
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
    PaneDocument document(*this, bytes.size());
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
    const bool readOnly = isReadOnly();
    send(Sci::SCI_SETREADONLY, 0);
    send(Sci::SCI_SETUNDOCOLLECTION, 0);
    send(Sci::SCI_APPENDTEXT, bytes.size(), reinterpret_cast<qsizetype>(bytes.constData()));
    send(Sci::SCI_SETUNDOCOLLECTION, 1);
    // Edits made before can no longer be undone at the places they were.
    send(Sci::SCI_EMPTYUNDOBUFFER);
    send(Sci::SCI_SETREADONLY, readOnly);
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
    send(Sci::SCI_SETSEL, start, start + length);
}

int RichTextBox::indicatorFor(Colour colour)
{
    const auto known = std::find(m_indicatorColours.begin(), m_indicatorColours.end(), colour);
    if (known != m_indicatorColours.end())
        return kFirstIndicator + int(known - m_indicatorColours.begin());
    const int indicator = kFirstIndicator + int(m_indicatorColours.size());
    if (indicator > kLastIndicator)
        return kFirstIndicator + int(m_indicatorColours.size()) - 1; // never with two colours
    m_indicatorColours.push_back(colour);
    send(Sci::SCI_INDICSETSTYLE, indicator, Sci::INDIC_TEXTFORE);
    send(Sci::SCI_INDICSETFORE, indicator, qsizetype(colour));
    return indicator;
}

void RichTextBox::clearColours(qsizetype start, qsizetype length)
{
    for (size_t i = 0; i < m_indicatorColours.size(); ++i) {
        send(Sci::SCI_SETINDICATORCURRENT, kFirstIndicator + qsizetype(i));
        send(Sci::SCI_INDICATORCLEARRANGE, start, length);
    }
}

void RichTextBox::colourRanges(const Compare::ColourRanges &ranges, Colour colour)
{
    const Compare::ColourRanges inBytes = PaneBytes::toByteRanges(bytes(), ranges);
    colourByteRanges(Compare::normalised(inBytes), colour);
}

void RichTextBox::colourByteRanges(std::span<const Compare::ColourRange> ranges, Colour colour)
{
    for (const Compare::ColourRange &r : ranges)
        clearColours(r.start, r.length);
    if (colour == kBlack)
        return;
    send(Sci::SCI_SETINDICATORCURRENT, indicatorFor(colour));
    for (const Compare::ColourRange &r : ranges)
        send(Sci::SCI_INDICATORFILLRANGE, r.start, r.length);
}

void RichTextBox::colourAll(Colour colour)
{
    const Compare::ColourRange all{0, send(Sci::SCI_GETLENGTH)};
    colourByteRanges({&all, 1}, colour);
}

Colour RichTextBox::colourAt(qsizetype offset) const
{
    const qsizetype at = PaneBytes::byteOffsets(bytes(), {std::max<qsizetype>(offset, 0)})[0];
    for (size_t i = 0; i < m_indicatorColours.size(); ++i) {
        if (send(Sci::SCI_INDICATORVALUEAT, kFirstIndicator + qsizetype(i), at) != 0)
            return m_indicatorColours[i];
    }
    return kBlack;
}

std::optional<Compare::ColourRange> RichTextBox::redRunFrom(qsizetype from, bool forward) const
{
    const auto red = std::find(m_indicatorColours.begin(), m_indicatorColours.end(), kRed);
    if (red == m_indicatorColours.end())
        return std::nullopt;
    const qsizetype indicator = kFirstIndicator + (red - m_indicatorColours.begin());
    const qsizetype length = send(Sci::SCI_GETLENGTH);
    const auto isRed = [&](qsizetype at) {
        return at >= 0 && at < length && send(Sci::SCI_INDICATORVALUEAT, indicator, at) != 0;
    };
    const auto runAt = [&](qsizetype at) {
        const qsizetype start = send(Sci::SCI_INDICATORSTART, indicator, at);
        return Compare::ColourRange{start, send(Sci::SCI_INDICATOREND, indicator, at) - start};
    };
    // Runs are found by hopping from run to run, never byte by byte: the
    // end of a run without red is where the next red one starts.
    const auto firstFrom = [&](qsizetype at) -> std::optional<Compare::ColourRange> {
        if (at >= length)
            return std::nullopt;
        if (!isRed(at))
            at = send(Sci::SCI_INDICATOREND, indicator, at);
        return isRed(at) ? std::optional(runAt(at)) : std::nullopt;
    };
    const auto lastUpTo = [&](qsizetype at) -> std::optional<Compare::ColourRange> {
        if (at < 0)
            return std::nullopt;
        if (!isRed(at))
            at = send(Sci::SCI_INDICATORSTART, indicator, at) - 1;
        return isRed(at) ? std::optional(runAt(at)) : std::nullopt;
    };
    from = std::clamp<qsizetype>(from, 0, length);
    if (forward) {
        const qsizetype after = isRed(from) ? send(Sci::SCI_INDICATOREND, indicator, from) : from;
        if (const auto run = firstFrom(after))
            return run;
        return firstFrom(0);
    }
    const qsizetype before = (isRed(from) ? send(Sci::SCI_INDICATORSTART, indicator, from) : from) - 1;
    if (const auto run = lastUpTo(before))
        return run;
    return lastUpTo(length - 1);
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

void RichTextBox::contextMenuEvent(QContextMenuEvent *event)
{
    if (m_editMenu)
        QsciScintilla::contextMenuEvent(event);
    else
        event->ignore();
}
