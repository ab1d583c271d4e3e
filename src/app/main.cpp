#include <cstdio>

#include <QApplication>
#include <QDir>
#include <QTimer>

#include "base/Product.h"
#include "base/ProgramFolder.h"
#include "dialogs/Dialogs.h"
#include "settings/SettingsBackend.h"
#include "window/CommandLine.h"
#include "window/Form1.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(Product::kName);
    QApplication::setOrganizationName(Product::kPublisher);
    QApplication::setApplicationVersion(QStringLiteral(CORVANTIS_VERSION));

    const WindowArguments arguments = parseWindowArguments(QApplication::arguments());
    if (arguments.exitsAtOnce()) {
        std::fputs(qPrintable(arguments.message), arguments.exitStatus ? stderr : stdout);
        return arguments.exitStatus;
    }

    Platform::QSettingsBackend settings;
    Platform::QtDialogs dialogs(nullptr);
    // The samples and the cursor are installed apart from the program (see the
    // top CMakeLists.txt); the build tree has the same layout.
    const QString dataFolder = QDir::cleanPath(QCoreApplication::applicationDirPath()
                                               + QStringLiteral("/" CORVANTIS_DATA_FROM_PROGRAM));
    Form1 form(dialogs, settings, ProgramFolder(dataFolder));
    dialogs.setParentWidget(&form);
    form.Form_Load();
    form.show();
    // The files load once the window shows, so their messages have a parent.
    QTimer::singleShot(0, &form, [&form, &arguments] { openFromCommandLine(form, arguments); });
    return QApplication::exec();
}
