// F7 and Shift+F7: from one red mark to the next in a full pane.
#include <QApplication>
#include <QLocale>
#include <QShortcut>

#include "pane/PaneNote.h"
#include "pane/RichTextBox.h"
#include "window/Form1.h"

namespace {

// "Difference 3 of 10,000", with the digits grouped as the program's other
// texts are written, whatever the desktop's language.
QString differenceText(qsizetype number, qsizetype count)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    return QStringLiteral("Difference %1 of %2")
        .arg(english.toString(number), english.toString(count));
}

} // namespace

void Form1::createMarkKeys()
{
    auto *next = new QShortcut(QKeySequence(Qt::Key_F7), this);
    auto *previous = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F7), this);
    connect(next, &QShortcut::activated, this, [this] { moveToRedMark(true); });
    connect(previous, &QShortcut::activated, this, [this] { moveToRedMark(false); });
}

RichTextBox *Form1::markPane(RichTextBox *pane)
{
    for (QWidget *w = QApplication::focusWidget(); w && !pane; w = w->parentWidget()) {
        pane = qobject_cast<RichTextBox *>(w);
        if (pane && !pane->Visible())
            pane = nullptr;
    }
    // From a button or an option the keys go to file #1.
    if (!pane)
        pane = RichTextBox1->Visible() ? RichTextBox1 : RichTextBox3;
    // A pane shows its selection only while it has the focus.
    if (!pane->hasFocus())
        pane->setFocus(Qt::ShortcutFocusReason);
    return pane;
}

void Form1::showMark(RichTextBox &pane, const std::optional<Compare::ColourRange> &run)
{
    if (!run)
        return;
    // Selecting scrolls the mark into view.
    pane.selectBytes(run->start, run->length);
    const Compare::RunSet &runs = pane.redRuns();
    const qsizetype index = runs.indexAtOrBefore(run->start);
    if (index >= 0)
        PaneNote::showOn(pane, differenceText(index + 1, runs.count()));
}

void Form1::moveToRedMark(bool forward, RichTextBox *pane)
{
    if (m_commandRunning)
        return;
    pane = markPane(pane);
    const qsizetype from = pane->selectionStart();
    showMark(*pane, pane->redRunFrom(from, forward));
}

void Form1::moveToFirstRedMark(RichTextBox *pane)
{
    if (m_commandRunning)
        return;
    pane = markPane(pane);
    showMark(*pane, pane->firstRedRun());
}
