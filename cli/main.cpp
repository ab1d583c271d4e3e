// corvantis-cli: the comparisons of the Corvantis window for scripts and
// pipelines, on the same engine and the same loading.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <utility>

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "ArgumentText.h"
#include "CliOptions.h"
#include "InputFile.h"
#include "RowsMode.h"
#include "engine/ColourRange.h"
#include "engine/LineComparison.h"
#include "engine/SideResult.h"
#include "engine/WordComparison.h"
#include "text/SavedBytes.h"
#include "text/TextDecoding.h"
#include "base/AppError.h"

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#endif

namespace {

enum ExitStatus { NoDifferences = 0, Differences = 1, Failure = 2 };

struct Comparison
{
    QString text1;
    QString text2;
    Compare::SideResult file1;
    Compare::SideResult file2;
};

void writeBytes(std::FILE *stream, const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

void printTo(std::FILE *stream, const QString &text)
{
    writeBytes(stream, text.toUtf8());
}

// Text that names files: a name prints as the bytes it was given as.
void printNaming(std::FILE *stream, const QString &text)
{
    writeBytes(stream, Cli::argumentBytes(text));
}

void printError(const QString &message)
{
    printNaming(stderr, Cli::errorLine(message) + u'\n');
}

QString heading(Cli::Comparison kind, const QString &file, const QString &other)
{
    const QString text = kind == Cli::Comparison::Lines
                             ? QStringLiteral("Lines of %1 missing from %2:")
                             : QStringLiteral("Words of %1 missing from their lines in %2:");
    return text.arg(file, other);
}

// The differences as the result pane lists them, one entry each: a line
// comparison lists each line followed by a CR (later lines keep the LF of
// their break in front), a word comparison puts CR LF before each word.
QStringList listedDifferences(Cli::Comparison kind, const QString &resultText)
{
    QStringList entries;
    if (kind == Cli::Comparison::Lines) {
        entries = resultText.split(u'\r');
        entries.removeLast(); // what follows the last CR
        for (QString &line : entries) {
            if (line.startsWith(u'\n'))
                line.remove(0, 1);
        }
    } else {
        entries = resultText.split(QStringLiteral("\r\n"));
        entries.removeFirst(); // what stands before the first CR LF
    }
    return entries;
}

void printListing(Cli::Comparison kind, const Cli::CliOptions &options, const Comparison &c)
{
    const auto group = [&](const QString &file, const QString &other, const QString &result) {
        printNaming(stdout, heading(kind, file, other) + u'\n');
        QString out;
        for (const QString &entry : listedDifferences(kind, result))
            out += entry + u'\n';
        printTo(stdout, out);
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

QJsonObject paneJson(const QString &text, const Compare::ColourRanges &red)
{
    QJsonArray ranges;
    for (const Compare::ColourRange &range : Compare::normalised(red))
        ranges.append(QJsonArray{qint64(range.start), qint64(range.length)});
    return QJsonObject{{QStringLiteral("text"), text}, {QStringLiteral("red"), ranges}};
}

void printJson(const Comparison &c)
{
    const QJsonObject object{{QStringLiteral("file1"), paneJson(c.text1, c.file1.red)},
                             {QStringLiteral("file2"), paneJson(c.text2, c.file2.red)},
                             {QStringLiteral("result1"), c.file1.resultText},
                             {QStringLiteral("result2"), c.file2.resultText}};
    QByteArray bytes = QJsonDocument(object).toJson(QJsonDocument::Compact);
    bytes += '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

void writeSavedResult(const QString &resultText)
{
#ifdef Q_OS_WIN
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    const QByteArray bytes = Files::savedBytes(resultText);
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

int run(const Cli::CliOptions &options)
{
    Cli::InputFile input1 = Cli::readInputFile(options.file1);
    Cli::InputFile input2 = Cli::readInputFile(options.file2);
    for (const Cli::InputFile *input : {&input1, &input2}) {
        if (!input->ok())
            printError(input->error);
    }
    if (!input1.ok() || !input2.ok())
        return Failure;

    Comparison c;
    // As the load command leaves a pane: the file's text and one CR.
    c.text1 = Files::decodeToPaneText(std::exchange(input1.bytes, {})) + u'\r';
    c.text2 = Files::decodeToPaneText(std::exchange(input2.bytes, {})) + u'\r';
    if (options.comparison == Cli::Comparison::Lines) {
        c.file1 = Compare::findLineDifferences(c.text1, c.text2);
        c.file2 = Compare::findLineDifferences(c.text2, c.text1);
    } else {
        Compare::WordComparison words = Compare::findWordDifferences(c.text1, c.text2);
        c.file1 = std::move(words.file1);
        c.file2 = std::move(words.file2);
    }

    if (options.resultOf != 0)
        writeSavedResult(options.resultOf == 1 ? c.file1.resultText : c.file2.resultText);
    else if (options.json)
        printJson(c);
    else if (options.stat)
        printStat(options.comparison, options, c);
    else if (!options.quiet) // quiet: the exit status alone answers
        printListing(options.comparison, options, c);

    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        const int error = errno;
        QString message = QStringLiteral("Cannot write to standard output");
        if (error != 0)
            message += QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
        printError(message);
        return Failure;
    }
    return c.file1.differences + c.file2.differences > 0 ? Differences : NoDifferences;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // From argv itself: QCoreApplication::arguments() loses the bytes of a file
    // name that is not UTF-8.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << Cli::argumentText(QByteArray(argv[i]));
    if (const qsizetype mode = Cli::rowsModeAt(arguments); mode >= 0) {
        arguments.removeAt(mode);
        return Cli::runRows(arguments);
    }
    const Cli::ParsedCommandLine parsed = Cli::parseCommandLine(arguments);
    if (!parsed.error.isEmpty()) {
        printNaming(stderr, Cli::errorLine(parsed.error) + QStringLiteral("\n\n")
                                + Cli::usageText());
        return Failure;
    }
    if (parsed.options.help || parsed.options.version) {
        printTo(stdout, parsed.options.help ? Cli::usageText() : Cli::versionText());
        return std::fflush(stdout) == 0 ? NoDifferences : Failure;
    }
    try {
        return run(parsed.options);
    } catch (const AppError &error) {
        printError(error.description());
    } catch (const std::bad_alloc &) {
        printError(QStringLiteral("Out of memory: the files are too large to compare"));
    } catch (const std::exception &error) {
        printError(QString::fromLocal8Bit(error.what()));
    }
    return Failure;
}
