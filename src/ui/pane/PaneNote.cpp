#include "pane/PaneNote.h"

#include <QAccessible>
#include <QTimer>

#include "pane/RichTextBox.h"

namespace {

const QString kName = QStringLiteral("PaneNote");
constexpr int kGap = 4;

} // namespace

PaneNote::PaneNote(RichTextBox &pane) : QLabel(&pane), m_pane(pane), m_hide(new QTimer(this))
{
    setObjectName(kName);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setMargin(3);
    // A note may hold a file's name: shown as typed, never as markup.
    setTextFormat(Qt::PlainText);
    setStyleSheet(QStringLiteral("background: #ffffe1; color: black; border: 1px solid #767676;"));
    m_hide->setSingleShot(true);
    m_hide->setInterval(kShownMs);
    connect(m_hide, &QTimer::timeout, this, &QWidget::hide);
    hide();
}

PaneNote *PaneNote::of(const RichTextBox &pane)
{
    return pane.findChild<PaneNote *>(kName, Qt::FindDirectChildrenOnly);
}

void PaneNote::showOn(RichTextBox &pane, const QString &text)
{
    PaneNote *note = of(pane);
    if (!note)
        note = new PaneNote(pane);
    note->setText(text);
    note->setAccessibleName(text);
    note->adjustSize();
    note->place();
    note->raise();
    note->show();
    note->m_hide->start();
    note->announce();
}

// Inside the text area, clear of the scroll bar.
void PaneNote::place()
{
    const QRect area = m_pane.viewport()->geometry();
    move(std::max(area.left(), area.right() - width() - kGap), area.top() + kGap);
}

void PaneNote::announce()
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    QAccessibleAnnouncementEvent announcement(this, text());
    QAccessible::updateAccessibility(&announcement);
#else
    QAccessibleEvent renamed(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&renamed);
    QAccessibleEvent alert(this, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
#endif
}
