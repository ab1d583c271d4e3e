#pragma once

#include <functional>
#include <optional>
#include <span>
#include <vector>

#include <QByteArrayView>
#include <QFuture>
#include <Qsci/qsciscintilla.h>

#include "engine/ColourRange.h"
#include "engine/RunSet.h"
#include "pane/Colour.h"

class PaneDocument;
class QMenu;

// One of the window's four text panes, on the Scintilla editing component.
//
// Its text is a plain string in which a CR LF counts as two characters and a
// lone CR or lone LF is kept as it was set: text() gives back exactly what
// setText() was given. Each line break shows as one line; every other
// character (U+2028 too) is a plain character. Offsets are 0-based UTF-16
// positions in that string. A line break the user types is CR LF.
//
// The pane keeps its text as UTF-8 (see PaneBytes); bytes() shows it without
// a copy, and the …Bytes members take byte offsets into it. Setting a text is
// not an edit the user can undo, and colouring never is.
class RichTextBox : public QsciScintilla
{
    Q_OBJECT

public:
    explicit RichTextBox(const QString &name, QWidget *parent = nullptr);
    ~RichTextBox() override;

    QString text() const;
    void setText(const QString &text) override;
    // The pane's text as bytes, valid until the text next changes.
    QByteArrayView bytes() const;
    void setBytes(QByteArrayView bytes);
    // Takes a document made ready elsewhere, as setBytes() would.
    void adopt(PaneDocument &&document);
    // Adds to the end of the text, as setText(text() + more) would.
    void appendText(const QString &more);
    qsizetype textLength() const;
    qsizetype lineCount() const;

    // The selection, as in the text() string, and in bytes.
    void select(qsizetype start, qsizetype length);
    void selectBytes(qsizetype start, qsizetype length);
    // Ctrl+A and the menu's "Select All"; a text of megabytes is selected as
    // selectBytes() selects one.
    void selectAll(bool select = true) override;

    // Colours many runs at once (byte ranges in ascending order); black, the
    // pane's text colour, takes any other colour away.
    void colourRanges(const Compare::ColourRanges &ranges, Colour colour);
    void colourByteRanges(std::span<const Compare::ColourRange> ranges, Colour colour);
    void colourAll(Colour colour);
    // The colour of the character at a text() offset.
    Colour colourAt(qsizetype offset) const;

    // The red run after (or before) byte offset `from` and the run that holds
    // it, as a byte range; past the end (or start) of the text the search
    // goes on from the other end.
    std::optional<Compare::ColourRange> redRunFrom(qsizetype from, bool forward);
    // The first red run of the text, as a byte range.
    std::optional<Compare::ColourRange> firstRedRun();
    // The red runs as they were laid, in bytes. After the user edited the
    // text they are read again from the colours, once.
    const Compare::RunSet &redRuns();

    // A margin with the line numbers, wide enough for the last line's.
    void setLineNumbersShown(bool shown);
    bool lineNumbersShown() const { return m_lineNumbers; }

    // The right-click menu with the usual edit commands.
    void setEditMenuEnabled(bool enabled);
    bool editMenuEnabled() const { return m_editMenu; }
    // Called on every right-click menu to add the window's own entries.
    void setMenuExtension(std::function<void(QMenu &menu)> extend);
    // The right-click menu as it would show now (the caller owns it); empty
    // while the edit menu is off.
    QMenu *createContextMenu();

    bool Visible() const { return !isHidden(); }

    // The text's bytes for a reader that keeps them (a table window): no copy.
    // Until unshareBytes(), textAboutToChange() is emitted before any change
    // to the text, so that the reader can take its own copy in time.
    QByteArray shareBytes();
    void unshareBytes();

signals:
    void textAboutToChange();

protected:
    void changeEvent(QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    long send(unsigned int message, qsizetype wParam = 0, qsizetype lParam = 0) const;
    void applyFont();
    void setDocumentSettings(bool readOnly);
    // A selection shown but not offered to X11's primary selection.
    void selectUnoffered(qsizetype anchor, qsizetype caret);
    int styleFor(Colour colour);
    Colour colourOfStyle(int style) const;
    void keepColours();
    QByteArray stylesIn(qsizetype from, qsizetype to) const;
    void colourSlices(std::span<const Compare::ColourRange> ranges, char style, qsizetype length);
    // The first byte at or after (or the last at or before) `from` that is
    // red (or not red); the length (or -1) when there is none.
    qsizetype findRed(qsizetype from, bool forward, bool red) const;
    // Marks the text as the one the red runs were laid on.
    void markTextKnown();
    // Lays the ranges (in ascending order) on the red runs.
    void trackRedRuns(std::span<const Compare::ColourRange> ranges, Colour colour,
                      qsizetype length);
    // No red runs, on the text as it is now.
    void forgetRedRuns();
    void readRedRuns();
    void fitLineNumbers();

    void sayTextWillChange();
    // Drops the pane's reference to a document it no longer shows, on a
    // worker's thread.
    void releaseLater(void *document);

    bool m_editMenu = false;
    int m_sharing = 0; // readers of shareBytes()
    bool m_lineNumbers = false;
    std::function<void(QMenu &)> m_extendMenu;
    Compare::RunSet m_redRuns;
    bool m_redRunsStale = false;        // edited since laid: read them from the colours
    std::vector<Colour> m_styleColours; // colour of style i + 1
    bool m_plain = true;                // no colour but black anywhere (typing adds none)
    qsizetype m_blackUpTo = 0;          // black laid from the start up to here since a colour
    // Black from here to the end, unless the text was edited since: a pane
    // coloured from start to end need not read back the styles ahead.
    qsizetype m_blackFrom = 0;
    std::vector<QFuture<void>> m_releases; // documents being let go
};
