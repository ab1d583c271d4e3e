// corvantis-cli: the comparisons of the Corvantis window for scripts and
// pipelines, on the same engine and the same loading.

#include <exception>
#include <memory>
#include <new>

#include <QCoreApplication>

#include "CliOptions.h"
#include "InputFile.h"
#include "Messages.h"
#include "Mode.h"
#include "RowsMode.h"
#include "TextMode.h"
#include "base/AppError.h"
#include "base/ArgumentText.h"

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>

#include <qt_windows.h>
#endif

namespace {

using namespace Cli;

// Reads the command line through the mode's options, answers --help and
// --version, and runs the mode: every mode's errors are said here, the same
// way, with the same exit status.
int runMode(Mode &mode, const QStringList &arguments)
{
    const CommandLine line = readCommandLine(arguments, mode.options());
    QString error = line.error;
    if (error.isEmpty() && !line.help && !line.version)
        error = mode.finish(line);
    if (error.isEmpty() && !line.help && !line.version)
        error = sameInputTwice(mode.file1(), mode.file2());
    if (!error.isEmpty()) {
        printUsageError(error, mode.name());
        return Failure;
    }
    if (line.help || line.version) {
        writeBytes(stdout, (line.help ? mode.usage() : versionText()).toUtf8());
        return flushStandardOutput() ? NoDifferences : Failure;
    }
    try {
        return mode.run();
    } catch (const AppError &failure) {
        printError(failure.description());
    } catch (const std::bad_alloc &) {
        printError(QStringLiteral("Out of memory: the files are too large to compare"));
    } catch (const std::exception &failure) {
        printError(QString::fromLocal8Bit(failure.what()));
    }
    return Failure;
}

} // namespace

int main(int argc, char **argv)
{
#ifdef Q_OS_WIN
    // The same bytes as on Linux, for a pipe or a file: UTF-8, lines ending in
    // LF, where the C library would add a CR before each; a console shows the
    // UTF-8 as text.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    SetConsoleOutputCP(CP_UTF8);
#endif
    QCoreApplication app(argc, argv);
    // Not QCoreApplication::arguments(): it loses the bytes of a file name that
    // is not UTF-8.
    QStringList arguments = Args::programArguments(argc, argv);
    arguments.removeFirst();

    std::unique_ptr<Mode> rows = makeRowsMode();
    std::unique_ptr<Mode> text = makeTextMode();
    // The mode's word may follow options, and their values are skipped to
    // find it. lines and words read it among their operands, where a missing
    // or unknown word is said.
    const qsizetype at = modeAt(arguments, rows->options().withValue + text->options().withValue);
    if (at >= 0 && arguments[at] == QLatin1String("rows")) {
        arguments.removeAt(at);
        return runMode(*rows, arguments);
    }
    return runMode(*text, arguments);
}
