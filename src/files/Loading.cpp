#include "files/Loading.h"

#include "app/Form1.h"
#include "files/TextDecoding.h"
#include "platform/RichTextBox.h"
#include "shell/Main.h"
#include "shell/MsgBox.h"

namespace RTB {

std::optional<QString> readFileForPane(Form1 &form, const QString &path)
{
    if (!Main::FileExists(path)) {
        MsgBox(form.dialogs(), QStringLiteral("File not found"));
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
