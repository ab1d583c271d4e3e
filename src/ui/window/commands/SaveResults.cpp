// "Save Results #1" and "Save Results #2": write the pane of the file that is shown.
#include "window/commands/SaveResults.h"

#include <functional>
#include <span>
#include <vector>

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
#include "text/TextBuffer.h"
#include "window/ErrorTrap.h"
#include "window/Form1.h"

namespace {

// Whether the parts hold no lone surrogate (see PaneBytes::isUtf8), also
// where one would cross from a part or slice to the next.
bool isUtf8(const std::vector<TextBuffer::Part> &parts)
{
    bool utf8 = true;
    bool afterEd = false;
    for (const TextBuffer::Part &part : parts)
        part.forEachSlice([&](QByteArrayView slice) {
            if (!utf8 || slice.isEmpty())
                return;
            utf8 = !(afterEd && quint8(slice.front()) >= 0xA0) && PaneBytes::isUtf8(slice);
            afterEd = quint8(slice.back()) == 0xED;
        });
    return utf8;
}

} // namespace

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
    // the pane read-only meanwhile), where they lie: a result that refers to
    // the compared text is never copied whole to be saved. A long save shows
    // its progress and can be cancelled, which leaves the file as it was.
    const TextBuffer &buffer = pane.buffer();
    const std::vector<TextBuffer::Part> parts = buffer.parts(0, buffer.size());
    Compare::Progress progress;
    progress.total = buffer.size() + 2;
    Files::WriteResult result;
    runInBackground(
        &form, QStringLiteral("Saving %1...").arg(path), progress,
        [&] {
            const auto told = [&progress](qint64 written) {
                progress.add(written);
                return !progress.cancelled.load();
            };
            if (!isUtf8(parts)) { // only for a text that is not plain UTF-8
                const QByteArray converted = Files::savedBytes(PaneBytes::toText(buffer.text()));
                const QByteArrayView bytes = converted;
                result = Files::writeWholeFile(path, std::span(&bytes, 1), told);
                return;
            }
            result = Files::writeWholeFile(
                path,
                [&parts](const std::function<void(QByteArrayView)> &write) {
                    for (const TextBuffer::Part &part : parts)
                        part.forEachSlice(write);
                    write("\r\n");
                },
                told);
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
