#pragma once

#include <QAccessibleWidget>

class RichTextBox;

// A pane as assistive technology sees it: an editable text whose characters,
// lines, caret and selection can be read and set. Offsets are UTF-16 code
// units, as in RichTextBox::text(). Each call costs the length of one line,
// not of the text: the editing component keeps, while a screen reader is
// using the pane, an index of each line's start in UTF-16 units. (A lone
// surrogate counts there as three units, so offsets after one are a little
// off; such texts come only from broken UTF-16 files.)
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
    long send(unsigned int message, qsizetype wParam = 0, qsizetype lParam = 0) const;
    void needIndex() const;
    // Between UTF-16 offsets and the component's byte positions.
    int offsetOf(qsizetype position) const;
    qsizetype positionOf(int offset) const;
    // The bytes of a stretch of the text.
    QByteArray bytesIn(qsizetype from, qsizetype to) const;
    // The byte positions of the line's start and of the next line's.
    std::pair<qsizetype, qsizetype> lineBytes(qsizetype line) const;
};
