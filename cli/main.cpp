// corvantis-cli: the comparisons of the Corvantis window for scripts and
// pipelines, on the same engine and the same loading.

#include <cstdio>
#include <exception>

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "CliOptions.h"
#include "RowsMode.h"
#include "compare/ColourRange.h"
#include "compare/LineComparison.h"
#include "compare/SideResult.h"
#include "compare/WordComparison.h"
#include "files/SaveFormat.h"
#include "files/TextDecoding.h"
#include "shell/AppError.h"
#include "shell/Main.h"

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

void printTo(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
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
        const QString heading =
            kind == Cli::Comparison::Lines
                ? QStringLiteral("Lines of %1 missing from %2:\n")
                : QStringLiteral("Words of %1 missing from their lines in %2:\n");
        QString out = heading.arg(file, other);
        for (const QString &entry : listedDifferences(kind, result))
            out += entry + u'\n';
        printTo(stdout, out);
    };
    group(options.file1, options.file2, c.file1.resultText);
    group(options.file2, options.file1, c.file2.resultText);
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
    bool missing = false;
    for (const QString &path : {options.file1, options.file2}) {
        if (!Main::FileExists(path)) {
            printTo(stderr, QStringLiteral("File not found: %1\n").arg(path));
            missing = true;
        }
    }
    if (missing)
        return Failure;

    Comparison c;
    // As the load command leaves a pane: the file's text and one CR.
    c.text1 = Files::loadFileText(options.file1) + u'\r';
    c.text2 = Files::loadFileText(options.file2) + u'\r';
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
    else
        printListing(options.comparison, options, c);

    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        printTo(stderr, QStringLiteral("Cannot write the output\n"));
        return Failure;
    }
    return c.file1.differences + c.file2.differences > 0 ? Differences : NoDifferences;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    if (const qsizetype mode = Cli::rowsModeAt(arguments); mode >= 0) {
        arguments.removeAt(mode);
        return Cli::runRows(arguments);
    }
    const Cli::ParsedCommandLine parsed = Cli::parseCommandLine(arguments);
    if (!parsed.error.isEmpty()) {
        printTo(stderr,
                QStringLiteral("corvantis-cli: %1\n\n").arg(parsed.error) + Cli::usageText());
        return Failure;
    }
    if (parsed.options.help) {
        printTo(stdout, Cli::usageText());
        return std::fflush(stdout) == 0 ? NoDifferences : Failure;
    }
    try {
        return run(parsed.options);
    } catch (const AppError &error) {
        printTo(stderr, error.description() + u'\n');
    } catch (const std::exception &error) {
        printTo(stderr, QString::fromLocal8Bit(error.what()) + u'\n');
    }
    return Failure;
}
