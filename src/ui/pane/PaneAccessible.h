#pragma once

#include <QAccessibleWidget>

class RichTextBox;

// A pane as assistive technology sees it: an editable text whose characters,
// lines, caret and selection can be read and set. Offsets are UTF-16 code
// units, as in RichTextBox::text(). Each call costs the length of one line
// and a block of the text, not the text: the pane counts UTF-16 units a block
// at a time (see PaneView::utf16Offset()).
class PaneAccessible final : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit PaneAccessible(RichTextBox *pane);

    // Offers every RichTextBox through this class; once, before any pane.
    static void install();
    // Tells assistive technology where the caret and selection now are.
    static void announceCaret(RichTextBox &pane);

    void *interface_cast(QAccessible::InterfaceType type) override;
    QAccessible::State state() const override;

    void selection(int selectionIndex, int *startOffset, int *endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    using QAccessibleWidget::text; // the widget's name and value, beside the text's
    QString text(int startOffset, int endOffset) const override;
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                             int *startOffset, int *endOffset) const override;
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                            int *startOffset, int *endOffset) const override;
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset,
                         int *endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint &point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int *startOffset, int *endOffset) const override;

private:
    RichTextBox &pane() const;
    // Between UTF-16 offsets and the component's byte positions.
    int offsetOf(qsizetype position) const;
    qsizetype positionOf(int offset) const;
    // The bytes of a stretch of the text.
    QByteArray bytesIn(qsizetype from, qsizetype to) const;
    // The byte positions of the line's start and of the next line's (the
    // text's end for the last line).
    std::pair<qsizetype, qsizetype> lineBytes(qsizetype line) const;
    // The stretch of the line [start, next) told as the line at byte `at`:
    // the line itself, or for a very long one the piece of it around `at`.
    std::pair<qsizetype, qsizetype> lineAround(qsizetype start, qsizetype next, qsizetype at) const;
};
