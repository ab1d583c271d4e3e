// The display options: the full panes with their red marks, or only the
// differences. Both handlers store both settings before they switch panes.
#include <QRadioButton>

#include "base/AppError.h"
#include "base/Main.h"
#include "dialogs/Dialogs.h"
#include "pane/RichTextBox.h"
#include "settings/Settings.h"
#include "window/Form1.h"

namespace {

void storeOptions(Form1 &form)
{
    using namespace Settings;
    SaveSetting(form.settings(), kAppName, kSection, QStringLiteral("Option2"),
                boolText(form.Option2->isChecked()));
    SaveSetting(form.settings(), kAppName, kSection, QStringLiteral("Option1"),
                boolText(form.Option1->isChecked()));
}

// A settings store that cannot be written must not stop the option from
// switching the panes (nor end the program from inside a click); the user is
// told once per session that the choice will not be remembered.
void tryStoreOptions(Form1 &form)
{
    try {
        storeOptions(form);
    } catch (const AppError &e) {
        if (form.settingsWarningShown())
            return;
        form.setSettingsWarningShown();
        form.dialogs().messageBox(
            {e.description()
                 + QStringLiteral("\r\n\r\nThe display option applies until the program is "
                                  "closed, but it will not be remembered."),
             Main::appTitle(), Platform::Buttons::Ok, Platform::Icon::Exclamation});
    }
}

} // namespace

void Form1::Option1_Click()
{
    tryStoreOptions(*this);
    if (Option1->isChecked()) {
        RichTextBox1->setVisible(true);
        RichTextBox2->setVisible(true);
        RichTextBox3->setVisible(false);
        RichTextBox4->setVisible(false);
    }
}

void Form1::Option2_Click()
{
    tryStoreOptions(*this);
    if (Option2->isChecked()) {
        RichTextBox1->setVisible(false);
        RichTextBox2->setVisible(false);
        RichTextBox3->setVisible(true);
        RichTextBox4->setVisible(true);
    }
}
