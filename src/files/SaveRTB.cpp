#include "files/Saving.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "app/Form1.h"
#include "files/SaveFormat.h"
#include "platform/RichTextBox.h"
#include "shell/AppError.h"
#include "shell/Main.h"
#include "shell/MsgBox.h"

namespace RTB {

namespace {

[[noreturn]] void fail(const QFileDevice &file, const QString &path)
{
    throw AppError(QStringLiteral("Cannot write %1: %2")
                       .arg(QDir::toNativeSeparators(path), file.errorString()));
}

// A device or pipe cannot be replaced, only written to.
void writeInPlace(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
        fail(file, path);
    file.close();
    if (file.error() != QFileDevice::NoError)
        fail(file, path);
}

void writeAtomically(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
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
