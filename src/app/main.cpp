#include <QApplication>

#include "base/Product.h"
#include "base/ProgramFolder.h"
#include "dialogs/Dialogs.h"
#include "settings/SettingsBackend.h"
#include "window/Form1.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(Product::kName);
    QApplication::setOrganizationName(Product::kPublisher);

    Platform::QSettingsBackend settings;
    Platform::QtDialogs dialogs(nullptr);
    Form1 form(dialogs, settings, ProgramFolder(QCoreApplication::applicationDirPath()));
    dialogs.setParentWidget(&form);
    form.Form_Load();
    form.show();
    return QApplication::exec();
}
