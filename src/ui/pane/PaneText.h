#pragma once

#include <memory>
#include <utility>
#include <vector>

#include <QString>
#include <QStringView>

class QTextBlock;
class QTextDocument;
class QThread;

// How a pane's text maps onto its document. The document keeps one separator
// per line break; the kind of break before a block is kept in the block's user
// state, so the text reads back exactly as it was set. A block without a state
// (-1) follows a CR LF: the block a typed Enter creates is new, and a joined
// line keeps the break before its first part.
namespace PaneText {

enum Break : int { CrLf = 0, Lf = 1, Cr = 2, ParagraphSep = 3, FrameStart = 4, FrameEnd = 5 };

int breakKind(const QTextBlock &block);
QStringView breakText(int kind);
// The length of the break after a block (none after the last).
qsizetype breakLength(const QTextBlock &block);

// The breaks in `text` that are not CR LF, each as the number of the line
// after it (counted from the text's first line) and its kind.
std::vector<std::pair<int, int>> unusualBreaks(const QString &text);
void markBreaks(QTextDocument &document, int firstBlock,
                const std::vector<std::pair<int, int>> &kinds);

// The pane text a document holds.
QString documentText(const QTextDocument &document);

// A pane's document for `text`, built on any thread and handed to `target`.
std::unique_ptr<QTextDocument> buildDocument(const QString &text, QThread *target);

} // namespace PaneText
