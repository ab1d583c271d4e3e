// "Load Sample/Example Files": the two files installed beside the program.
#include <QRadioButton>

#include "base/Product.h"
#include "dialogs/MsgBox.h"
#include "pane/RichTextBox.h"
#include "window/ErrorTrap.h"
#include "window/Form1.h"
#include "window/commands/LoadCsvFile.h"

void Form1::PushButton9_Click()
{
    const CommandScope scope(*this);
    if (!scope)
        return;
    const ErrorTrap trap(m_dialogs,
                         QStringLiteral("in Pendrel2021/08/31.Form1.PushButton9_Click "));
    // Cancelling a read is the user's choice, not a failure: the command ends
    // quietly, with the panes as they were.
    bool cancelled = false;
    const auto load = [&](int line, void (*loadFile)(Form1 &, const QString &),
                          const QString &name) {
        trap(line, [&] {
            try {
                loadFile(*this, m_programFolder.file(name));
            } catch (const RTB::ReadCancelled &) {
                cancelled = true;
            }
        });
    };
    load(100, RTB::LoadFileIn1, Product::kSample1);
    if (cancelled)
        return;
    load(102, RTB::LoadFileIn2, Product::kSample2);
    // The text is written back whole, so a pane whose sample is missing loses
    // the red marks of an earlier comparison, as a loaded one does.
    trap(104, [this] { RichTextBox1->setText(RichTextBox1->text() + QStringLiteral("\r")); });
    if (!cancelled) // file #2 stays as it was
        trap(106, [this] { RichTextBox2->setText(RichTextBox2->text() + QStringLiteral("\r")); });
    trap(108, [this] { setOptionValue(Option1, true); });
    if (cancelled)
        return;
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
    trap(112, [this] { m_dialogs.openFolder(m_programFolder.file(Product::kSamplesFolder)); });
}
