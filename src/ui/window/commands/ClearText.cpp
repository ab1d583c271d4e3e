// "Clear Text Above": empties the four panes.
#include "pane/RichTextBox.h"
#include "window/ErrorTrap.h"
#include "window/Form1.h"

void Form1::PushButton7_Click()
{
    const CommandScope scope(*this);
    if (!scope)
        return;
    const ErrorTrap trap(m_dialogs,
                         QStringLiteral("in Pendrel2021/08/31.Form1.PushButton7_Click "));
    trap(100, [this] { RichTextBox1->setText(QString()); });
    trap(102, [this] { RichTextBox2->setText(QString()); });
    trap(104, [this] { RichTextBox3->setText(QString()); });
    trap(106, [this] { RichTextBox4->setText(QString()); });
}
