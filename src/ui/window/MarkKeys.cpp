// F7 and Shift+F7: from one red mark to the next in a full pane.
#include <QApplication>
#include <QShortcut>

#include "pane/RichTextBox.h"
#include "window/Form1.h"

void Form1::createMarkKeys()
{
    auto *next = new QShortcut(QKeySequence(Qt::Key_F7), this);
    auto *previous = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F7), this);
    connect(next, &QShortcut::activated, this, [this] { moveToRedMark(true); });
    connect(previous, &QShortcut::activated, this, [this] { moveToRedMark(false); });
}

void Form1::moveToRedMark(bool forward)
{
    if (m_commandRunning)
        return;
    RichTextBox *pane = nullptr;
    for (QWidget *w = QApplication::focusWidget(); w && !pane; w = w->parentWidget()) {
        pane = qobject_cast<RichTextBox *>(w);
        if (pane && !pane->Visible())
            pane = nullptr;
    }
    if (!pane)
        pane = RichTextBox1->Visible() ? RichTextBox1 : RichTextBox3;
    const qsizetype from = pane->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONSTART);
    if (const auto run = pane->redRunFrom(from, forward)) {
        // Selecting scrolls the mark into view.
        pane->selectBytes(run->start, run->length);
    }
}
