#include "files/Loading.h"

#include <QDir>

#include "app/Form1.h"
#include "files/FileWriter.h"
#include "files/TextDecoding.h"
#include "platform/RichTextBox.h"
#include "shell/Main.h"
#include "shell/MsgBox.h"

namespace RTB {

std::optional<QString> notLoadable(const QString &path)
{
    // Checked by name, never opened: opening a pipe waits for a writer, and
    // a device such as /dev/zero never ends.
    const std::optional<QString> kind = Files::specialFileKind(path);
    if (!kind)
        return std::nullopt;
    return QStringLiteral("Cannot load %1: it is %2, not a file. Only files can be loaded.")
        .arg(QDir::toNativeSeparators(path), *kind);
}

std::optional<QString> readFileForPane(Form1 &form, const QString &path)
{
    if (!Main::FileExists(path)) {
        MsgBox(form.dialogs(), QStringLiteral("File not found"));
        return std::nullopt;
    }
    if (const std::optional<QString> refusal = notLoadable(path)) {
        MsgBox(form.dialogs(), *refusal);
        return std::nullopt;
    }
    return Files::loadFileText(path);
}

namespace {

void loadFileIn(Form1 &form, RichTextBox &pane, const QString &path)
{
    if (std::optional<QString> text = readFileForPane(form, path))
        pane.setText(*text);
}

} // namespace

void LoadFileIn1(Form1 &form, const QString &path)
{
    loadFileIn(form, *form.RichTextBox1, path);
}

void LoadFileIn2(Form1 &form, const QString &path)
{
    loadFileIn(form, *form.RichTextBox2, path);
}

} // namespace RTB
