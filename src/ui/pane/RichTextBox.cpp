#include "pane/RichTextBox.h"

#include <algorithm>

#include <QContextMenuEvent>
#include <QFont>
#include <QKeyEvent>
#include <QMenu>
#include <QPlainTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "pane/PaneText.h"

namespace {

// Which version of the colours a line on screen was formatted with.
struct ColourStamp : QTextBlockUserData
{
    int version = -1;
};

} // namespace

RichTextBox::RichTextBox(const QString &name, QWidget *parent) : QPlainTextEdit(parent)
{
    setObjectName(name);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    // As in a rich text box, the selection shows only while the pane has the
    // focus: a comparison leaves its last mark selected, and it stays red.
    QPalette p = palette();
    p.setBrush(QPalette::Inactive, QPalette::Highlight, Qt::NoBrush);
    p.setBrush(QPalette::Inactive, QPalette::HighlightedText, Qt::NoBrush);
    setPalette(p);
    connect(document(), &QTextDocument::contentsChange, this, &RichTextBox::onContentsChange);
}

void RichTextBox::onContentsChange(int position, int removed, int added)
{
    if (m_formatting)
        return;
    m_colours.textChanged(position, removed, added);
    ++m_coloursVersion;
}

QString RichTextBox::text() const
{
    return PaneText::documentText(*document());
}

void RichTextBox::setText(const QString &text)
{
    const auto kinds = PaneText::unusualBreaks(text);
    m_colours.clear();
    setPlainText(text);
    PaneText::markBreaks(*document(), 0, kinds);
}

void RichTextBox::adoptDocument(std::unique_ptr<QTextDocument> document)
{
    document->setDocumentLayout(new QPlainTextDocumentLayout(document.get()));
    document->setDefaultFont(font());
    // Parented to the pane, the document goes when the next one comes.
    document->setParent(this);
    m_colours.clear();
    ++m_coloursVersion;
    setDocument(document.release());
    connect(this->document(), &QTextDocument::contentsChange, this,
            &RichTextBox::onContentsChange);
}

void RichTextBox::appendText(const QString &more)
{
    QTextDocument *doc = document();
    QString rest = more;
    QTextBlock last = doc->lastBlock();
    // A CR at the end and an LF at the start of `more` make one CR LF.
    if (rest.startsWith(u'\n') && last.length() == 1 && last.previous().isValid()
        && PaneText::breakKind(last) == PaneText::Cr) {
        last.setUserState(PaneText::CrLf);
        rest.remove(0, 1);
    }
    const int firstBlock = doc->blockCount() - 1;
    const auto kinds = PaneText::unusualBreaks(rest);
    const bool undo = doc->isUndoRedoEnabled();
    doc->setUndoRedoEnabled(false);
    QTextCursor cursor(doc);
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(rest);
    doc->setUndoRedoEnabled(undo);
    PaneText::markBreaks(*doc, firstBlock, kinds);
}

qsizetype RichTextBox::textLength() const
{
    qsizetype length = 0;
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next())
        length += b.length() - 1 + PaneText::breakLength(b);
    return length;
}

std::vector<int> RichTextBox::documentPositions(const std::vector<qsizetype> &sortedOffsets) const
{
    std::vector<int> positions;
    positions.reserve(sortedOffsets.size());
    QTextBlock block = document()->begin();
    qsizetype blockStart = 0; // text() offset of the block's first character
    for (qsizetype offset : sortedOffsets) {
        offset = std::max<qsizetype>(offset, 0);
        for (;;) {
            const qsizetype span = block.length() - 1 + PaneText::breakLength(block);
            if (offset < blockStart + span || !block.next().isValid())
                break;
            blockStart += span;
            block = block.next();
        }
        // The LF of a CR LF maps to the start of the next block.
        const qsizetype inBlock = std::min<qsizetype>(offset - blockStart, block.length());
        positions.push_back(block.position() + int(inBlock));
    }
    const int end = document()->characterCount() - 1;
    for (int &p : positions)
        p = std::min(p, end);
    return positions;
}

void RichTextBox::select(qsizetype start, qsizetype length)
{
    const std::vector<int> p = documentPositions({start, start + std::max<qsizetype>(length, 0)});
    QTextCursor cursor(document());
    cursor.setPosition(p[0]);
    cursor.setPosition(p[1], QTextCursor::KeepAnchor);
    setTextCursor(cursor);
}

void RichTextBox::colourRanges(const Compare::ColourRanges &ranges, Colour colour)
{
    const Compare::ColourRanges merged = Compare::normalised(ranges);
    std::vector<qsizetype> offsets;
    offsets.reserve(merged.size() * 2);
    for (const Compare::ColourRange &r : merged) {
        offsets.push_back(r.start);
        offsets.push_back(r.start + r.length);
    }
    const std::vector<int> positions = documentPositions(offsets);
    std::vector<std::pair<int, int>> spans;
    spans.reserve(merged.size());
    for (size_t i = 0; i + 1 < positions.size(); i += 2)
        spans.emplace_back(positions[i], positions[i + 1]);
    paintRuns(spans, colour);
}

void RichTextBox::colourAll(Colour colour)
{
    paintRuns({{0, document()->characterCount() - 1}}, colour);
}

void RichTextBox::paintRuns(const std::vector<std::pair<int, int>> &runs, Colour colour)
{
    m_colours.paint(runs, colour);
    ++m_coloursVersion;
    viewport()->update();
}

void RichTextBox::paintEvent(QPaintEvent *event)
{
    formatVisibleLines();
    QPlainTextEdit::paintEvent(event);
}

// Gives the lines on screen the colours of their text, where they changed.
void RichTextBox::formatVisibleLines()
{
    m_formatting = true;
    const QPointF offset = contentOffset();
    const int bottom = viewport()->height();
    for (QTextBlock block = firstVisibleBlock(); block.isValid(); block = block.next()) {
        if (blockBoundingGeometry(block).translated(offset).top() > bottom)
            break;
        auto *stamp = static_cast<ColourStamp *>(block.userData());
        if (stamp && stamp->version == m_coloursVersion)
            continue;
        if (!stamp) {
            stamp = new ColourStamp;
            block.setUserData(stamp);
        }
        stamp->version = m_coloursVersion;
        QList<QTextLayout::FormatRange> formats;
        const int start = block.position();
        for (const ColourSpans::Span &span : m_colours.within(start, start + block.length())) {
            QTextLayout::FormatRange range;
            range.start = span.from - start;
            range.length = span.to - span.from;
            range.format.setForeground(toQColor(span.colour));
            formats << range;
        }
        if (formats != block.layout()->formats()) {
            block.layout()->setFormats(formats);
            document()->markContentsDirty(start, block.length());
        }
    }
    m_formatting = false;
}

Colour RichTextBox::colourAt(qsizetype offset) const
{
    const int position = documentPositions({offset}).front();
    if (const std::optional<Colour> colour = m_colours.colourAt(position))
        return *colour;
    return fromQColor(palette().color(QPalette::Text));
}

void RichTextBox::keyPressEvent(QKeyEvent *event)
{
    // Shift+Enter would insert a soft line break; every line break typed into
    // a pane is a CR LF.
    if (event->matches(QKeySequence::InsertLineSeparator) && !isReadOnly()) {
        textCursor().insertBlock();
        ensureCursorVisible();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void RichTextBox::setEditMenuEnabled(bool enabled)
{
    m_editMenu = enabled;
}

void RichTextBox::contextMenuEvent(QContextMenuEvent *event)
{
    if (m_editMenu)
        QPlainTextEdit::contextMenuEvent(event);
    else
        event->ignore();
}
