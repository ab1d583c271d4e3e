// Pointer feedback: the hand over the command buttons, the default pointer
// elsewhere, and the busy pointer left alone while a command runs.
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>

#include "app/Form1.h"
#include "platform/RichTextBox.h"

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

void Form1::Form_MouseMove() { setPointerFromMove(kDefault); }
void Form1::Frame1_MouseMove() { setPointerFromMove(kDefault); }
void Form1::Frame2_MouseMove() { setPointerFromMove(kDefault); }
void Form1::Frame3_MouseMove() { setPointerFromMove(kDefault); }
void Form1::Option1_MouseMove() { setPointerFromMove(kDefault); }
void Form1::Option2_MouseMove() { setPointerFromMove(kDefault); }
void Form1::RichTextBox1_MouseMove() { setPointerFromMove(kDefault); }
void Form1::RichTextBox2_MouseMove() { setPointerFromMove(kDefault); }
void Form1::RichTextBox3_MouseMove() { setPointerFromMove(kDefault); }
void Form1::RichTextBox4_MouseMove() { setPointerFromMove(kDefault); }
void Form1::PushButton1_MouseMove() { setPointerFromMove(kCustom); }
void Form1::PushButton2_MouseMove() { setPointerFromMove(kCustom); }
void Form1::PushButton3_MouseMove() { setPointerFromMove(kCustom); }
void Form1::PushButton4_MouseMove() { setPointerFromMove(kCustom); }
void Form1::PushButton5_MouseMove() { setPointerFromMove(kCustom); }
void Form1::PushButton6_MouseMove() { setPointerFromMove(kCustom); }
void Form1::PushButton7_MouseMove() { setPointerFromMove(kCustom); }
void Form1::PushButton9_MouseMove() { setPointerFromMove(kCustom); }

void Form1::dispatchMouseMove(QWidget *target)
{
    using Handler = void (Form1::*)();
    const std::pair<QWidget *, Handler> elements[] = {
        {PushButton1, &Form1::PushButton1_MouseMove}, {PushButton2, &Form1::PushButton2_MouseMove},
        {PushButton3, &Form1::PushButton3_MouseMove}, {PushButton4, &Form1::PushButton4_MouseMove},
        {PushButton5, &Form1::PushButton5_MouseMove}, {PushButton6, &Form1::PushButton6_MouseMove},
        {PushButton7, &Form1::PushButton7_MouseMove}, {PushButton9, &Form1::PushButton9_MouseMove},
        {RichTextBox1, &Form1::RichTextBox1_MouseMove},
        {RichTextBox2, &Form1::RichTextBox2_MouseMove},
        {RichTextBox3, &Form1::RichTextBox3_MouseMove},
        {RichTextBox4, &Form1::RichTextBox4_MouseMove},
        {Option1, &Form1::Option1_MouseMove}, {Option2, &Form1::Option2_MouseMove},
        {Frame1, &Form1::Frame1_MouseMove}, {Frame2, &Form1::Frame2_MouseMove},
        {Frame3, &Form1::Frame3_MouseMove}, {this, &Form1::Form_MouseMove}};
    // The innermost element that holds the widget under the pointer answers.
    for (QWidget *w = target; w; w = w->parentWidget()) {
        for (const auto &[element, handler] : elements) {
            if (w == element) {
                (this->*handler)();
                return;
            }
        }
    }
}
