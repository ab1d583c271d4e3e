// The display options: the full panes with their red marks, or only the
// differences. Both handlers store both settings before they switch panes.
#include <QRadioButton>

#include "window/Form1.h"
#include "settings/Settings.h"
#include "pane/RichTextBox.h"

namespace {

void storeOptions(Form1 &form)
{
    using namespace Settings;
    SaveSetting(form.settings(), kAppName, kSection, QStringLiteral("Option2"),
                boolText(form.Option2->isChecked()));
    SaveSetting(form.settings(), kAppName, kSection, QStringLiteral("Option1"),
                boolText(form.Option1->isChecked()));
}

} // namespace

void Form1::Option1_Click()
{
    storeOptions(*this);
    if (Option1->isChecked()) {
        RichTextBox1->setVisible(true);
        RichTextBox2->setVisible(true);
        RichTextBox3->setVisible(false);
        RichTextBox4->setVisible(false);
    }
}

void Form1::Option2_Click()
{
    storeOptions(*this);
    if (Option2->isChecked()) {
        RichTextBox1->setVisible(false);
        RichTextBox2->setVisible(false);
        RichTextBox3->setVisible(true);
        RichTextBox4->setVisible(true);
    }
}
