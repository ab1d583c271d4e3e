// Pointer feedback: the hand over the command buttons, the default pointer
// elsewhere, and the busy pointer left alone while a command runs.
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>

#include "pane/RichTextBox.h"
#include "window/ControlTable.h"
#include "window/Form1.h"

namespace {

constexpr int kDefault = 0;
constexpr int kBusy = 11;
constexpr int kCustom = 99;

} // namespace

void Form1::setMousePointer(int style)
{
    m_mousePointer = style;
    applyPointer();
}

void Form1::applyPointer()
{
    // One style for the whole window: the panes' own text cursor gives way to
    // the busy and custom pointers.
    const QList<QWidget *> panes{RichTextBox1->viewport(), RichTextBox2->viewport(),
                                 RichTextBox3->viewport(), RichTextBox4->viewport()};
    if (m_mousePointer == kBusy || m_mousePointer == kCustom) {
        const QCursor cursor = m_mousePointer == kBusy
                                   ? QCursor(Qt::WaitCursor)
                                   : m_mouseIcon.value_or(QCursor(Qt::PointingHandCursor));
        setCursor(cursor);
        for (QWidget *w : panes)
            w->setCursor(cursor);
        return;
    }
    unsetCursor();
    for (QWidget *w : panes)
        w->setCursor(Qt::IBeamCursor);
}

void Form1::setPointerFromMove(int style)
{
    if (m_mousePointer != kBusy)
        setMousePointer(style);
}

void Form1::Form_MouseMove()
{
    setPointerFromMove(kDefault);
}
void Form1::Frame1_MouseMove()
{
    setPointerFromMove(kDefault);
}
void Form1::Frame2_MouseMove()
{
    setPointerFromMove(kDefault);
}
void Form1::Frame3_MouseMove()
{
    setPointerFromMove(kDefault);
}
void Form1::Option1_MouseMove()
{
    setPointerFromMove(kDefault);
}
void Form1::Option2_MouseMove()
{
    setPointerFromMove(kDefault);
}
void Form1::RichTextBox1_MouseMove()
{
    setPointerFromMove(kDefault);
}
void Form1::RichTextBox2_MouseMove()
{
    setPointerFromMove(kDefault);
}
void Form1::RichTextBox3_MouseMove()
{
    setPointerFromMove(kDefault);
}
void Form1::RichTextBox4_MouseMove()
{
    setPointerFromMove(kDefault);
}
void Form1::PushButton1_MouseMove()
{
    setPointerFromMove(kCustom);
}
void Form1::PushButton2_MouseMove()
{
    setPointerFromMove(kCustom);
}
void Form1::PushButton3_MouseMove()
{
    setPointerFromMove(kCustom);
}
void Form1::PushButton4_MouseMove()
{
    setPointerFromMove(kCustom);
}
void Form1::PushButton5_MouseMove()
{
    setPointerFromMove(kCustom);
}
void Form1::PushButton6_MouseMove()
{
    setPointerFromMove(kCustom);
}
void Form1::PushButton7_MouseMove()
{
    setPointerFromMove(kCustom);
}
void Form1::PushButton9_MouseMove()
{
    setPointerFromMove(kCustom);
}

void Form1::dispatchMouseMove(QWidget *target)
{
    // The innermost element that holds the widget under the pointer answers.
    for (QWidget *w = target; w; w = w->parentWidget()) {
        if (w == this) {
            Form_MouseMove();
            return;
        }
        const auto found = std::find(m_controls.begin(), m_controls.end(), w);
        if (found != m_controls.end()) {
            (this->*ControlTable::kControls[size_t(found - m_controls.begin())].mouseMove)();
            return;
        }
    }
}
