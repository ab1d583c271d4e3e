// "Load Sample/Example Files" and "Clear Text Above".
#include <QRadioButton>

#include "app/Form1.h"
#include "files/Loading.h"
#include "platform/RichTextBox.h"
#include "shell/ErrorTrap.h"
#include "shell/Main.h"
#include "shell/MsgBox.h"

void Form1::PushButton9_Click()
{
    const CommandScope scope(*this);
    if (!scope)
        return;
    const ErrorTrap trap(m_dialogs, QStringLiteral("in Pendrel2021/08/31.Form1.PushButton9_Click "));
    trap(100, [this] {
        RTB::LoadFileIn1(*this, Main::programPath(QStringLiteral("\\Samples\\sample1.csv")));
    });
    trap(102, [this] {
        RTB::LoadFileIn2(*this, Main::programPath(QStringLiteral("\\Samples\\sample2.csv")));
    });
    // The text is written back whole, so a pane whose sample is missing loses
    // the red marks of an earlier comparison, as a loaded one does.
    trap(104, [this] { RichTextBox1->setText(RichTextBox1->text() + QStringLiteral("\r")); });
    trap(106, [this] { RichTextBox2->setText(RichTextBox2->text() + QStringLiteral("\r")); });
    trap(108, [this] { setOptionValue(Option1, true); });
    Platform::Answer answer = Platform::Answer::No;
    trap(110, [&] {
        answer = MsgBox(m_dialogs,
                        QStringLiteral("Would you like this software to open the folder where "
                                       "these sample files are stored (so that you can view them "
                                       "before working with them)?"),
                        Platform::Buttons::YesNo);
    });
    if (answer != Platform::Answer::Yes)
        return;
    trap(112, [this] { m_dialogs.openFolder(Main::programPath(QStringLiteral("\\Samples\\"))); });
}

void Form1::PushButton7_Click()
{
    const CommandScope scope(*this);
    if (!scope)
        return;
    const ErrorTrap trap(m_dialogs, QStringLiteral("in Pendrel2021/08/31.Form1.PushButton7_Click "));
    trap(100, [this] { RichTextBox1->setText(QString()); });
    trap(102, [this] { RichTextBox2->setText(QString()); });
    trap(104, [this] { RichTextBox3->setText(QString()); });
    trap(106, [this] { RichTextBox4->setText(QString()); });
}
