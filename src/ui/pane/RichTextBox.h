#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include <QByteArrayView>
#include <QFuture>

#include "engine/ColourRange.h"
#include "engine/RunSet.h"
#include "pane/Colour.h"
#include "pane/PaneView.h"

class PaneDocument;
class QMenu;

// One of the window's four text panes.
//
// Its text is a plain string in which a CR LF counts as two characters and a
// lone CR or lone LF is kept as it was set: text() gives back exactly what
// setText() was given. Each line break shows as one line; every other
// character (U+2028 too) is a plain character. Offsets are 0-based UTF-16
// positions in that string. A line break the user types is CR LF.
//
// The pane keeps its text as UTF-8 (see PaneBytes); bytes() shows it without
// a copy while the user has not edited it, and the …Bytes members take byte
// offsets into it. Setting a text is not an edit the user can undo, and
// colouring never is.
class RichTextBox : public PaneView
{
    Q_OBJECT

public:
    explicit RichTextBox(const QString &name, QWidget *parent = nullptr);
    ~RichTextBox() override;

    QString text() const;
    void setText(const QString &text);
    // The pane's text as bytes, valid until the text next changes.
    QByteArrayView bytes() const;
    void setBytes(QByteArrayView bytes);
    // Takes a document made ready elsewhere, as setBytes() would.
    void adopt(PaneDocument &&document);
    // Shows a comparison's result from the bytes it refers to, `source`'s
    // text; they are copied only as the user edits them. Once `source` shows
    // another text, the pane copies what the result shows and lets the
    // examined bytes go.
    void adoptResult(std::shared_ptr<const ResultView> result, RichTextBox *source);
    // The array that holds bytes(), for a result that refers to them.
    QByteArray bytesHolder() const { return flatHolder(); }
    // Adds to the end of the text, as setText(text() + more) would.
    void appendText(const QString &more);
    qsizetype textLength() const;
    qsizetype lineCount() const;
    // Which text the pane shows: a new number for every text set or adopted,
    // kept through the user's edits.
    quint64 textSerial() const { return m_serial; }

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
    // The red runs, in bytes, as they follow the user's edits.
    const Compare::RunSet &redRuns() { return redRunSet(); }

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
    // Another text was set or adopted.
    void textReplaced();

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool focusNextPrevChild(bool next) override;
    void textWillChange() override;

private:
    // Lets a text the pane no longer shows go on a worker's thread.
    void releaseLater(TextBuffer old);
    // Copies what the result shown holds of its source's bytes, on a worker
    // when it is large.
    void ownResultBytes();
    // Lets a result go on a worker's thread.
    void dropLater(std::shared_ptr<const ResultView> view);

    bool m_editMenu = false;
    int m_sharing = 0; // readers of shareBytes()
    bool m_lineNumbers = false;
    quint64 m_serial = 0;
    std::function<void(QMenu &)> m_extendMenu;
    std::vector<QFuture<void>> m_releases; // texts being let go
    QMetaObject::Connection m_sourceWatch; // the source of the result shown
};
