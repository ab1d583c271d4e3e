#include "pane/PaneText.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QThread>

namespace PaneText {

namespace {

constexpr QChar kParagraphSep(0x2029);
constexpr QChar kFrameStart(0xFDD0);
constexpr QChar kFrameEnd(0xFDD1);

} // namespace

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

qsizetype breakLength(const QTextBlock &block)
{
    const QTextBlock next = block.next();
    return next.isValid() ? breakText(breakKind(next)).size() : 0;
}

std::vector<std::pair<int, int>> unusualBreaks(const QString &text)
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

void markBreaks(QTextDocument &document, int firstBlock,
                const std::vector<std::pair<int, int>> &kinds)
{
    if (kinds.empty())
        return;
    QTextBlock block = document.findBlockByNumber(firstBlock + kinds.front().first);
    for (const auto &[number, kind] : kinds) {
        while (block.isValid() && block.blockNumber() < firstBlock + number)
            block = block.next();
        block.setUserState(kind);
    }
}

QString documentText(const QTextDocument &document)
{
    const QString raw = document.toRawText();
    QString result;
    result.reserve(raw.size() + document.blockCount());
    QTextBlock block = document.begin();
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

std::unique_ptr<QTextDocument> buildDocument(const QString &text, QThread *target)
{
    auto document = std::make_unique<QTextDocument>();
    document->setUndoRedoEnabled(false);
    document->setPlainText(text);
    markBreaks(*document, 0, unusualBreaks(text));
    document->setUndoRedoEnabled(true);
    if (target)
        document->moveToThread(target);
    return document;
}

} // namespace PaneText
