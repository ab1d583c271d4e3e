#pragma once

#include <memory>
#include <optional>

#include <QPlainTextEdit>

#include "engine/ColourRange.h"
#include "pane/Colour.h"
#include "pane/ColourSpans.h"

// One of the window's four text panes.
//
// Its text is a plain string in which a CR LF counts as two characters and a
// lone CR or lone LF is kept as it was set: text() gives back exactly what
// setText() was given. Each line break shows as one line. Offsets are 0-based
// positions in that string. A line break the user types is CR LF.
class RichTextBox : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit RichTextBox(const QString &name, QWidget *parent = nullptr);

    QString text() const;
    void setText(const QString &text);
    // Takes a document built for a text elsewhere (see PaneText::buildDocument).
    void adoptDocument(std::unique_ptr<QTextDocument> document);
    // Adds to the end of the text, as setText(text() + more) would.
    void appendText(const QString &more);
    qsizetype textLength() const;

    // The selection, as in the text() string.
    void select(qsizetype start, qsizetype length);

    // Colours many runs at once. Colouring is not an edit the user can undo.
    void colourRanges(const Compare::ColourRanges &ranges, Colour colour);
    void colourAll(Colour colour);
    // The colour of the character at a text() offset (the pane's text colour
    // where none was set).
    Colour colourAt(qsizetype offset) const;

    // The right-click menu with the usual edit commands.
    void setEditMenuEnabled(bool enabled);
    bool editMenuEnabled() const { return m_editMenu; }

    bool Visible() const { return !isHidden(); }

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    // Document positions of text() offsets, given in ascending order.
    std::vector<int> documentPositions(const std::vector<qsizetype> &sortedOffsets) const;
    void paintRuns(const std::vector<std::pair<int, int>> &runs, Colour colour);
    void formatVisibleLines();
    void onContentsChange(int position, int removed, int added);

    bool m_editMenu = false;
    ColourSpans m_colours;
    int m_coloursVersion = 0;  // bumped whenever a line's formats may be stale
    bool m_formatting = false; // our own re-layout is no change of the text
};
