#include "platform/RichTextBox.h"

#include <algorithm>

#include <QContextMenuEvent>
#include <QFont>
#include <QMenu>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {

// The document keeps one separator per line break; the kind of break before a
// block is kept in the block's user state, so the text reads back exactly as
// it was set. A block without a state (-1) follows a CR LF: the block a typed
// Enter creates is new, and a joined line keeps the break before its first part.
enum Break : int { CrLf = 0, Lf = 1, Cr = 2, ParagraphSep = 3, FrameStart = 4, FrameEnd = 5 };

constexpr QChar kParagraphSep(0x2029);
constexpr QChar kFrameStart(0xFDD0);
constexpr QChar kFrameEnd(0xFDD1);

int breakKind(const QTextBlock &block)
{
    const int state = block.userState();
    return state < 0 ? CrLf : state;
}

QStringView breakText(int kind)
{
    static const QChar crlf[] = {u'\r', u'\n'};
    static const QChar lf[] = {u'\n'};
    static const QChar cr[] = {u'\r'};
    static const QChar ps[] = {kParagraphSep};
    static const QChar fs[] = {kFrameStart};
    static const QChar fe[] = {kFrameEnd};
    switch (kind) {
    case Lf: return QStringView(lf, 1);
    case Cr: return QStringView(cr, 1);
    case ParagraphSep: return QStringView(ps, 1);
    case FrameStart: return QStringView(fs, 1);
    case FrameEnd: return QStringView(fe, 1);
    default: return QStringView(crlf, 2);
    }
}

// The length of the break after a block (none after the last).
qsizetype breakLength(const QTextBlock &block)
{
    const QTextBlock next = block.next();
    return next.isValid() ? breakText(breakKind(next)).size() : 0;
}

} // namespace

RichTextBox::RichTextBox(const QString &name, QWidget *parent) : QPlainTextEdit(parent)
{
    setObjectName(name);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setContextMenuPolicy(Qt::DefaultContextMenu);
}

QString RichTextBox::text() const
{
    const QString raw = document()->toRawText();
    QString result;
    result.reserve(raw.size() + document()->blockCount());
    QTextBlock block = document()->begin();
    qsizetype from = 0;
    for (qsizetype at = raw.indexOf(kParagraphSep); at >= 0; at = raw.indexOf(kParagraphSep, from)) {
        result.append(QStringView(raw).mid(from, at - from));
        block = block.next();
        result.append(breakText(breakKind(block)));
        from = at + 1;
    }
    result.append(QStringView(raw).mid(from));
    return result;
}

// The breaks in `text` that are not CR LF, each as the number of the line
// after it (counted from the text's first line) and its kind.
std::vector<std::pair<int, int>> RichTextBox::unusualBreaks(const QString &text)
{
    std::vector<std::pair<int, int>> kinds;
    int blockNumber = 0;
    const qsizetype n = text.size();
    const QChar *c = text.constData();
    for (qsizetype i = 0; i < n; ++i) {
        int kind = -1;
        switch (c[i].unicode()) {
        case u'\r':
            if (i + 1 < n && c[i + 1] == u'\n') {
                ++i;
                kind = CrLf;
            } else {
                kind = Cr;
            }
            break;
        case u'\n': kind = Lf; break;
        case 0x2029: kind = ParagraphSep; break;
        case 0xFDD0: kind = FrameStart; break;
        case 0xFDD1: kind = FrameEnd; break;
        default: continue;
        }
        ++blockNumber;
        if (kind != CrLf)
            kinds.emplace_back(blockNumber, kind);
    }
    return kinds;
}

void RichTextBox::markBreaks(int firstBlock, const std::vector<std::pair<int, int>> &kinds)
{
    if (kinds.empty())
        return;
    QTextBlock block = document()->findBlockByNumber(firstBlock + kinds.front().first);
    for (const auto &[number, kind] : kinds) {
        while (block.isValid() && block.blockNumber() < firstBlock + number)
            block = block.next();
        block.setUserState(kind);
    }
}

void RichTextBox::setText(const QString &text)
{
    const auto kinds = unusualBreaks(text);
    setPlainText(text);
    markBreaks(0, kinds);
}

void RichTextBox::appendText(const QString &more)
{
    QTextDocument *doc = document();
    QString rest = more;
    QTextBlock last = doc->lastBlock();
    // A CR at the end and an LF at the start of `more` make one CR LF.
    if (rest.startsWith(u'\n') && last.length() == 1 && last.previous().isValid()
        && breakKind(last) == Cr) {
        last.setUserState(CrLf);
        rest.remove(0, 1);
    }
    const int firstBlock = doc->blockCount() - 1;
    const auto kinds = unusualBreaks(rest);
    const bool undo = doc->isUndoRedoEnabled();
    doc->setUndoRedoEnabled(false);
    QTextCursor cursor(doc);
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(rest);
    doc->setUndoRedoEnabled(undo);
    markBreaks(firstBlock, kinds);
}

qsizetype RichTextBox::textLength() const
{
    qsizetype length = 0;
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next())
        length += b.length() - 1 + breakLength(b);
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
            const qsizetype span = block.length() - 1 + breakLength(block);
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

qsizetype RichTextBox::textOffset(int position) const
{
    qsizetype offset = 0;
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
        if (position < b.position() + b.length())
            return offset + (position - b.position());
        offset += b.length() - 1 + breakLength(b);
    }
    return offset;
}

void RichTextBox::select(qsizetype start, qsizetype length)
{
    const std::vector<int> p = documentPositions({start, start + std::max<qsizetype>(length, 0)});
    QTextCursor cursor(document());
    cursor.setPosition(p[0]);
    cursor.setPosition(p[1], QTextCursor::KeepAnchor);
    setTextCursor(cursor);
    m_selection = Selection{std::max<qsizetype>(start, 0), std::max<qsizetype>(length, 0),
                            p[0], p[1]};
}

const RichTextBox::Selection *RichTextBox::currentSelection() const
{
    const QTextCursor c = textCursor();
    if (m_selection && c.selectionStart() == m_selection->from
        && c.selectionEnd() == m_selection->to)
        return &*m_selection;
    return nullptr;
}

qsizetype RichTextBox::selStart() const
{
    if (const Selection *s = currentSelection())
        return s->start;
    return textOffset(textCursor().selectionStart());
}

qsizetype RichTextBox::selLength() const
{
    if (const Selection *s = currentSelection())
        return s->length;
    const QTextCursor c = textCursor();
    return textOffset(c.selectionEnd()) - textOffset(c.selectionStart());
}

void RichTextBox::setSelColor(Colour colour)
{
    const QTextCursor c = textCursor();
    if (c.hasSelection())
        applyFormat({{c.selectionStart(), c.selectionEnd()}}, colour);
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
    applyFormat(spans, colour);
}

void RichTextBox::colourAll(Colour colour)
{
    applyFormat({{0, document()->characterCount() - 1}}, colour);
}

void RichTextBox::applyFormat(const std::vector<std::pair<int, int>> &spans, Colour colour)
{
    QTextDocument *doc = document();
    // Colour marks are not edits: keep them out of the undo history.
    const bool undo = doc->isUndoRedoEnabled();
    doc->setUndoRedoEnabled(false);
    QTextCharFormat format;
    format.setForeground(toQColor(colour));
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    for (const auto &[from, to] : spans) {
        if (to <= from)
            continue;
        cursor.setPosition(from);
        cursor.setPosition(to, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(format);
    }
    cursor.endEditBlock();
    doc->setUndoRedoEnabled(undo);
}

Colour RichTextBox::colourAt(qsizetype offset) const
{
    const int position = documentPositions({offset}).front();
    const QTextBlock block = document()->findBlock(position);
    QTextCharFormat format;
    if (position == block.position() + block.length() - 1) {
        format = block.next().isValid() ? block.next().charFormat() : block.charFormat();
    } else {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (position >= f.position() && position < f.position() + f.length()) {
                format = f.charFormat();
                break;
            }
        }
    }
    if (format.hasProperty(QTextFormat::ForegroundBrush))
        return fromQColor(format.foreground().color());
    return fromQColor(palette().color(QPalette::Text));
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
