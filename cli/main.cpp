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
#include "base/Utf8Locale.h"
#include "csv/LargeArrays.h"

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>

#include <qt_windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif
#if defined(__GLIBC__)
#include <malloc.h>
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

#ifndef Q_OS_WIN
// A standard descriptor the caller closed (`<&-`, `>&-`) would be the next
// one Qt opens, and the report would go into a file of Qt's own, or standard
// input be read from one. Each is held by /dev/null opened the wrong way
// round, so that reading or writing it still fails as it did closed.
void holdClosedStandardDescriptors()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        const int held = ::open("/dev/null", fd == STDIN_FILENO ? O_WRONLY : O_RDONLY);
        if (held >= 0 && held != fd) { // a lower one was free: never, as they go in order
            ::dup2(held, fd);
            ::close(held);
        }
    }
}
#endif

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
#else
    holdClosedStandardDescriptors();
#endif
#if defined(__GLIBC__)
    // Large arrays come and go through a comparison. glibc raises its limit
    // for mapping a block of its own to the largest block freed so far, after
    // which arrays of tens of megabytes come from the heap, and stay with the
    // process once freed: a fixed limit gives each back as it goes.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
    // Each of the line engine's arrays is made once, in fresh memory, where
    // large pages can cost more to clear than they save (the row index,
    // which never asks for them, lost 1.5 s of the system's time to them on
    // the 10M-row pair and went no faster).
    Csv::largePagesForArrays = false;
    Base::useUtf8Locale();
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
