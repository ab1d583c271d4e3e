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
