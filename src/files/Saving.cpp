#include "files/Saving.h"

#include "app/Form1.h"
#include "files/FileWriter.h"
#include "files/SaveFormat.h"
#include "platform/RichTextBox.h"
#include "shell/AppError.h"
#include "shell/Main.h"
#include "shell/MsgBox.h"

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
    if (const auto error = Files::writeWholeFile(path, Files::savedBytes(pane.text())))
        throw AppError(*error);
}

} // namespace RTB
