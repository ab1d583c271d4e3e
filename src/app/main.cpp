#include <cstdio>

#ifdef _WIN32
#include <qt_windows.h>
#endif

#include <QApplication>
#include <QDir>
#include <QTimer>

#include "base/ArgumentText.h"
#include "base/Product.h"
#include "base/ProgramFolder.h"
#include "base/Utf8Locale.h"
#include "dialogs/Dialogs.h"
#include "settings/SettingsBackend.h"
#include "tables/OpenTables.h"
#include "tables/TableWindow.h"
#include "window/CommandLine.h"
#include "window/Form1.h"

namespace {

void nameTheProgram()
{
    QCoreApplication::setApplicationName(Product::kName);
    QCoreApplication::setOrganizationName(Product::kPublisher);
    QCoreApplication::setApplicationVersion(QStringLiteral(CORVANTIS_VERSION));
}

// On X11 and Wayland systems Qt aborts when it finds no display to open a
// window on; said plainly instead, with what works without one.
bool reportMissingDisplay()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("DISPLAY")
        || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return false;
    std::fputs("corvantis: there is no display to show the window on (neither DISPLAY nor "
               "WAYLAND_DISPLAY is set). corvantis-cli compares files without one.\n",
               stderr);
    return true;
#else
    return false;
#endif
}

} // namespace

int main(int argc, char *argv[])
{
    WindowArguments arguments;
    {
        // Read without a display: --help and --version work over SSH, in a
        // chroot, in CI.
        QCoreApplication reader(argc, argv);
        nameTheProgram();
        // Not QCoreApplication::arguments(): it loses the bytes of a file name
        // that is not UTF-8, which could then not be opened.
        arguments = parseWindowArguments(Args::programArguments(argc, argv));
        if (arguments.exitsAtOnce()) {
#ifdef Q_OS_WIN
            // A window program has no console of its own: help goes to the
            // one it was started from, unless its output is redirected.
            if (!GetStdHandle(STD_OUTPUT_HANDLE) && AttachConsole(ATTACH_PARENT_PROCESS)) {
                std::freopen("CONOUT$", "w", stdout);
                std::freopen("CONOUT$", "w", stderr);
            }
#endif
            std::fputs(qPrintable(arguments.message), arguments.exitStatus ? stderr : stdout);
            return arguments.exitStatus;
        }
        if (reportMissingDisplay())
            return 1;
    }
    Base::useUtf8Locale();
    QApplication app(argc, argv);
    nameTheProgram();

    Platform::QSettingsBackend settings;
    Platform::QtDialogs dialogs(nullptr);
    if (arguments.tables) {
        const QStringList &files = arguments.files;
        QWidget *window = Tables::openTablesWindow(dialogs, settings, files.value(0),
                                                   files.value(1), arguments.key);
        dialogs.setParentWidget(window);
        return QApplication::exec();
    }
    // The samples and the cursor are installed apart from the program (see the
    // top CMakeLists.txt); the build tree has the same layout.
    const QString dataFolder = QDir::cleanPath(QCoreApplication::applicationDirPath()
                                               + QStringLiteral("/" CORVANTIS_DATA_FROM_PROGRAM));
    Form1 form(dialogs, settings, ProgramFolder(dataFolder));
    dialogs.setParentWidget(&form);
    Tables::installTableEntries(form);
    form.Form_Load();
    form.show();
    // The files load once the window shows, so their messages have a parent.
    QTimer::singleShot(0, &form, [&form, &arguments] { openFromCommandLine(form, arguments); });
    return QApplication::exec();
}
