// "Save Results #1" and "Save Results #2": write the pane of the file that is shown.
#include "app/Form1.h"
#include "files/Saving.h"
#include "platform/RichTextBox.h"
#include "shell/ErrorTrap.h"
#include "shell/MsgBox.h"

namespace {

void saveCommand(Form1 &form, RichTextBox &full, RichTextBox &result, const QString &location)
{
    const Form1::CommandScope scope(form);
    if (!scope)
        return;
    const ErrorTrap trap(form.dialogs(), location);
    CommonDialog &dialog = form.CommonDialog1;
    QString path;
    trap(100, [&] { dialog.FileName.clear(); });
    trap(102, [&] { dialog.Flags = 0x280201; });
    trap(104, [&] { dialog.DialogTitle = QStringLiteral("Save"); });
    trap(106, [&] { dialog.Filter = QStringLiteral("Text Files(*.txt)|*.txt|All Files (*.*)|*.*|"); });
    trap(108, [&] { dialog.ShowSave(); });
    trap(110, [&] { path = dialog.FileName; });
    if (path.isEmpty())
        return;
    trap(112, [&] { form.setMousePointer(11); });
    trap(114, [&] {
        if (full.Visible())
            RTB::SaveRTB(form, full, path);
        else if (result.Visible())
            RTB::SaveRTB(form, result, path);
        else
            MsgBox(form.dialogs(), QStringLiteral("savertb problem"));
    });
    trap(116, [&] { form.setMousePointer(0); });
}

} // namespace

void Form1::PushButton2_Click()
{
    saveCommand(*this, *RichTextBox1, *RichTextBox3,
                QStringLiteral("in Pendrel2021/08/31.Form1.PushButton2_Click "));
}

void Form1::PushButton5_Click()
{
    saveCommand(*this, *RichTextBox2, *RichTextBox4,
                QStringLiteral("in Pendrel2021/08/31.Form1.PushButton5_Click "));
}
