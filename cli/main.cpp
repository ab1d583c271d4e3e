// corvantis-cli: the comparisons of the Corvantis window for scripts and
// pipelines, on the same engine and the same loading.

#include <cstdio>
#include <exception>
#include <new>
#include <thread>
#include <utility>

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "CliOptions.h"
#include "InputFile.h"
#include "Messages.h"
#include "RowsMode.h"
#include "base/AppError.h"
#include "base/ArgumentText.h"
#include "engine/ColourRange.h"
#include "engine/LineComparison.h"
#include "engine/SideResult.h"
#include "engine/WordComparison.h"
#include "text/PaneBytes.h"
#include "text/SavedBytes.h"
#include "text/TextDecoding.h"

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>

#include <qt_windows.h>
#endif

namespace {

enum ExitStatus { NoDifferences = 0, Differences = 1, Failure = 2 };

// The two texts as panes hold them (UTF-8, see PaneBytes) and both results.
struct Comparison
{
    QByteArray text1;
    QByteArray text2;
    Compare::ByteSideResult file1;
    Compare::ByteSideResult file2;
};

// Runs first() and second() at once, one on each core; a failure of either
// reaches the caller.
template <typename First, typename Second>
void both(First first, Second second)
{
    std::exception_ptr failure;
    std::thread other([&] {
        try {
            second();
        } catch (...) {
            failure = std::current_exception();
        }
    });
    try {
        first();
    } catch (...) {
        other.join();
        throw;
    }
    other.join();
    if (failure)
        std::rethrow_exception(failure);
}

using Cli::writeBytes;

void printTo(std::FILE *stream, const QString &text)
{
    writeBytes(stream, text.toUtf8());
}

// Text that names files: a name prints as the bytes it was given as.
void printNaming(std::FILE *stream, const QString &text)
{
    writeBytes(stream, Args::argumentBytes(text));
}

QString heading(Cli::Comparison kind, const QString &file, const QString &other)
{
    const QString text = kind == Cli::Comparison::Lines
                             ? QStringLiteral("Lines of %1 missing from %2:")
                             : QStringLiteral("Words of %1 missing from their lines in %2:");
    return text.arg(file, other);
}

// The differences as the result pane lists them, one entry a line: a line
// comparison lists each line followed by a CR (later lines keep the LF of
// their break in front), a word comparison puts CR LF before each word.
// Written straight from the result's bytes, without a copy of them.
void printListing(Cli::Comparison kind, const Cli::CliOptions &options, const Comparison &c)
{
    const auto group = [&](const QString &file, const QString &other, QByteArrayView result) {
        printNaming(stdout, heading(kind, file, other) + u'\n');
        QByteArray printable; // a lone surrogate prints as '?', as text does
        if (!PaneBytes::isUtf8(result)) {
            printable = PaneBytes::toText(result).toUtf8();
            result = printable;
        }
        qsizetype at = 0;
        if (kind == Cli::Comparison::Lines) {
            for (qsizetype cr = result.indexOf('\r'); cr >= 0; cr = result.indexOf('\r', at)) {
                QByteArrayView entry = result.sliced(at, cr - at);
                if (entry.startsWith('\n'))
                    entry = entry.sliced(1);
                writeBytes(stdout, entry);
                writeBytes(stdout, "\n");
                at = cr + 1;
            }
        } else if (result.startsWith("\r\n")) {
            for (at = 2; at <= result.size();) {
                qsizetype end = result.indexOf(QByteArrayView("\r\n"), at);
                if (end < 0)
                    end = result.size();
                writeBytes(stdout, result.sliced(at, end - at));
                writeBytes(stdout, "\n");
                at = end + 2;
            }
        }
    };
    group(options.file1, options.file2, c.file1.resultText);
    group(options.file2, options.file1, c.file2.resultText);
}

void printStat(Cli::Comparison kind, const Cli::CliOptions &options, const Comparison &c)
{
    printNaming(stdout, heading(kind, options.file1, options.file2) + u' '
                            + QString::number(c.file1.differences) + u'\n'
                            + heading(kind, options.file2, options.file1) + u' '
                            + QString::number(c.file2.differences) + u'\n');
}

// Texts and offsets in UTF-16 code units, as the window counts them.
QJsonObject paneJson(const QByteArray &text, const Compare::ColourRanges &red)
{
    QJsonArray ranges;
    for (const Compare::ColourRange &range :
         PaneBytes::toUtf16Ranges(text, Compare::normalised(red)))
        ranges.append(QJsonArray{qint64(range.start), qint64(range.length)});
    return QJsonObject{{QStringLiteral("text"), PaneBytes::toText(text)},
                       {QStringLiteral("red"), ranges}};
}

void printJson(const Comparison &c)
{
    const QJsonObject object{{QStringLiteral("file1"), paneJson(c.text1, c.file1.red)},
                             {QStringLiteral("file2"), paneJson(c.text2, c.file2.red)},
                             {QStringLiteral("result1"), PaneBytes::toText(c.file1.resultText)},
                             {QStringLiteral("result2"), PaneBytes::toText(c.file2.resultText)}};
    QByteArray bytes = QJsonDocument(object).toJson(QJsonDocument::Compact);
    bytes += '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

void writeSavedResult(const QByteArray &resultText)
{
    if (!PaneBytes::isUtf8(resultText)) { // the save writes a lone surrogate as '?'
        writeBytes(stdout, Files::savedBytes(PaneBytes::toText(resultText)));
        return;
    }
    writeBytes(stdout, resultText);
    writeBytes(stdout, "\r\n");
}

int run(const Cli::CliOptions &options)
{
    Cli::InputFile input1;
    Cli::InputFile input2;
    both([&] { input1 = Cli::readInputFile(options.file1); },
         [&] { input2 = Cli::readInputFile(options.file2); });
    for (const Cli::InputFile *input : {&input1, &input2}) {
        if (!input->ok())
            Cli::printError(input->error);
    }
    if (!input1.ok() || !input2.ok())
        return Failure;

    Comparison c;
    // As the load command leaves a pane: the file's text and one CR. Both
    // files are decoded at once, and both directions compared at once.
    Files::DecodeNote note1;
    Files::DecodeNote note2;
    both(
        [&] {
            (c.text1 = Files::decodeToPaneBytes(std::exchange(input1.bytes, {}), note1)) += '\r';
        },
        [&] {
            (c.text2 = Files::decodeToPaneBytes(std::exchange(input2.bytes, {}), note2)) += '\r';
        });
    for (const auto &[name, note] : {std::pair{options.file1, &note1}, {options.file2, &note2}}) {
        if (note->invalidLine > 0)
            Cli::printError(QStringLiteral("%1: not valid UTF-8 (line %2); read as %3")
                                .arg(name)
                                .arg(note->invalidLine)
                                .arg(note->encoding));
    }
    // Ranges are joined as they come: the output joins them anyway.
    const auto ranges = Compare::Ranges::Joined;
    if (options.comparison == Cli::Comparison::Lines) {
        both([&] { c.file1 = Compare::findLineDifferences(c.text1, c.text2, nullptr, ranges); },
             [&] { c.file2 = Compare::findLineDifferences(c.text2, c.text1, nullptr, ranges); });
    } else {
        both([&] { c.file1 = Compare::findWordDifferencesOf(c.text1, c.text2); },
             [&] { c.file2 = Compare::findWordDifferencesOf(c.text2, c.text1); });
    }

    if (options.resultOf != 0)
        writeSavedResult(options.resultOf == 1 ? c.file1.resultText : c.file2.resultText);
    else if (options.json)
        printJson(c);
    else if (options.stat)
        printStat(options.comparison, options, c);
    else if (!options.quiet) // quiet: the exit status alone answers
        printListing(options.comparison, options, c);

    if (!Cli::flushStandardOutput())
        return Failure;
    return c.file1.differences + c.file2.differences > 0 ? Differences : NoDifferences;
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
    if (const qsizetype mode = Cli::rowsModeAt(arguments); mode >= 0) {
        arguments.removeAt(mode);
        return Cli::runRows(arguments);
    }
    const Cli::ParsedCommandLine parsed = Cli::parseCommandLine(arguments);
    if (!parsed.error.isEmpty()) {
        Cli::printUsageError(parsed.error);
        return Failure;
    }
    if (parsed.options.help || parsed.options.version) {
        printTo(stdout, parsed.options.help ? Cli::usageText() : Cli::versionText());
        return Cli::flushStandardOutput() ? NoDifferences : Failure;
    }
    if (const QString twice = Cli::sameInputTwice(parsed.options.file1, parsed.options.file2);
        !twice.isEmpty()) {
        Cli::printUsageError(twice);
        return Failure;
    }
    try {
        return run(parsed.options);
    } catch (const AppError &error) {
        Cli::printError(error.description());
    } catch (const std::bad_alloc &) {
        Cli::printError(QStringLiteral("Out of memory: the files are too large to compare"));
    } catch (const std::exception &error) {
        Cli::printError(QString::fromLocal8Bit(error.what()));
    }
    return Failure;
}
