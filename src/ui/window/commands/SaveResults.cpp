// "Save Results #1" and "Save Results #2": write the pane of the file that is shown.
#include "window/commands/SaveResults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "window/ErrorTrap.h"
#include "window/Form1.h"
#include "text/SavedBytes.h"
#include "pane/RichTextBox.h"
#include "base/AppError.h"
#include "base/Main.h"
#include "dialogs/MsgBox.h"

namespace RTB {

namespace {

[[noreturn]] void fail(const QFileDevice &file, const QString &path)
{
    throw AppError(QStringLiteral("Cannot write %1: %2")
                       .arg(QDir::toNativeSeparators(path), file.errorString()));
}

// Writes every byte or throws. The file is opened unbuffered: a buffered
// write can fail at the final flush without the file noticing (the save would
// then replace the user's file with a cut-off copy), and a short write, which
// sets no error, is retried so that the system gives its reason.
void writeAll(QFileDevice &file, const QString &path, const QByteArray &bytes)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0)
            fail(file, path);
        done += written;
    }
}

// A device or pipe cannot be replaced, only written to.
void writeInPlace(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        fail(file, path);
    writeAll(file, path, bytes);
    file.close();
    if (file.error() != QFileDevice::NoError)
        fail(file, path);
}

// The old file is replaced only once everything was written; a failure
// discards the new copy with `file`.
void writeAtomically(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        fail(file, path);
    writeAll(file, path, bytes);
    if (!file.commit())
        fail(file, path);
}

} // namespace

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
    const QByteArray bytes = Files::savedBytes(pane.text());
    const QFileInfo target(path);
    if (target.exists() && !target.isFile() && !target.isDir())
        writeInPlace(path, bytes);
    else
        writeAtomically(path, bytes);
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
