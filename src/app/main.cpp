#include <QApplication>

#include "app/Form1.h"
#include "platform/Dialogs.h"
#include "platform/SettingsBackend.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvantis"));
    QApplication::setOrganizationName(QStringLiteral("Quillfen"));

    Platform::QSettingsBackend settings;
    Platform::QtDialogs dialogs(nullptr);
    Form1 form(dialogs, settings);
    dialogs.setParentWidget(&form);
    form.Form_Load();
    form.show();
    return QApplication::exec();
}
