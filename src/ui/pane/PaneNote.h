#pragma once

#include <QLabel>

class QTimer;
class RichTextBox;

// A short note over a pane's top right corner ("Difference 3 of 10,000") that
// goes away by itself. It lies above the text and takes no room from it; the
// pointer passes through it, and screen readers are told its text as an alert.
class PaneNote : public QLabel
{
    Q_OBJECT

public:
    static constexpr int kShownMs = 1500;

    // Shows `text` on the pane's note, made on first use.
    static void showOn(RichTextBox &pane, const QString &text);
    // The pane's note, or nothing before its first.
    static PaneNote *of(const RichTextBox &pane);

private:
    explicit PaneNote(RichTextBox &pane);
    void place();
    void announce();

    RichTextBox &m_pane;
    QTimer *m_hide;
};
