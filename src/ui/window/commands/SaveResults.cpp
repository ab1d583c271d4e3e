// "Save Results #1" and "Save Results #2": write the pane of the file that is shown.
#include "window/commands/SaveResults.h"

#include <array>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "base/AppError.h"
#include "base/Main.h"
#include "dialogs/MsgBox.h"
#include "pane/RichTextBox.h"
#include "runner/BackgroundRun.h"
#include "text/FileWriter.h"
#include "text/PaneBytes.h"
#include "text/SavedBytes.h"
#include "window/ErrorTrap.h"
#include "window/Form1.h"

namespace RTB {

void SaveRTB(Form1 &form, RichTextBox &pane, const QString &path)
{
    Platform::Answer answer = Platform::Answer::Yes;
    if (Main::FileExists(path))
        answer = MsgBox(form.dialogs(),
                        QStringLiteral("Are you sure you wish to overwrite ") + path
                            + QStringLiteral(" ?"),
                        Platform::Buttons::YesNo);
    if (answer != Platform::Answer::Yes)
        return;
    // Written on a worker thread from the pane's own bytes (the command keeps
    // the pane read-only meanwhile); a long save shows its progress and can
    // be cancelled, which leaves the file as it was.
    const QByteArrayView text = pane.bytes();
    Compare::Progress progress;
    progress.total = text.size() + 2;
    Files::WriteResult result;
    runInBackground(
        &form, QStringLiteral("Saving %1...").arg(path), progress,
        [&] {
            QByteArray converted; // only for a text that is not plain UTF-8
            std::array<QByteArrayView, 2> pieces{text, "\r\n"};
            if (!PaneBytes::isUtf8(text)) {
                converted = Files::savedBytes(PaneBytes::toText(text));
                pieces = {converted, {}};
            }
            result = Files::writeWholeFile(path, pieces, [&progress](qint64 written) {
                progress.add(written);
                return !progress.cancelled.load();
            });
        },
        Cancel::Offered);
    if (result.status == Files::WriteResult::Status::Failed)
        throw AppError(result.error);
}

} // namespace RTB

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
    trap(104, [&] { dialog.DialogTitle = QStringLiteral("Save"); });
    trap(106,
         [&] { dialog.Filter = QStringLiteral("Text Files(*.txt)|*.txt|All Files (*.*)|*.*|"); });
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
