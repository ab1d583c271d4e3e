#include "RowsMode.h"

#include <cstdio>
#include <exception>
#include <future>

#include "ArgumentText.h"
#include "CliOptions.h"
#include "InputFile.h"
#include "Messages.h"
#include "base/AppError.h"
#include "csv/CsvReader.h"
#include "csv/RowComparison.h"
#include "csv/RowsReport.h"
#include "text/TextDecoding.h"

namespace Cli {

namespace {

enum ExitStatus { NoDifferences = 0, Differences = 1, Failure = 2 };

struct RowsOptions
{
    QString file1;
    QString file2;
    Csv::RowOptions compare;
    QChar delimiter; // null: detected in each file
    Csv::ReportFormat format = Csv::ReportFormat::Text;
    bool help = false;
    bool version = false;
    bool quiet = false; // print nothing on standard output; the exit status tells
};

void printTo(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

// Reads "--name VALUE" or "--name=VALUE"; false when the value is missing.
bool optionValue(const QStringList &arguments, qsizetype &at, const QString &name, QString &value)
{
    const QString &argument = arguments[at];
    if (argument.startsWith(name + u'=')) {
        value = argument.mid(name.size() + 1);
        return true;
    }
    if (at + 1 >= arguments.size())
        return false;
    value = arguments[++at];
    return true;
}

QChar delimiterValue(const QString &value)
{
    if (value == QLatin1String("tab") || value == QLatin1String("\\t"))
        return u'\t';
    if (value.size() != 1 || value == QLatin1String("\"") || value == QLatin1String("\r")
        || value == QLatin1String("\n"))
        return QChar();
    return value[0];
}

// The options, or why they cannot be used (error not empty).
QString parseRows(const QStringList &arguments, RowsOptions &options)
{
    QStringList operands;
    bool optionsEnded = false;
    for (qsizetype at = 0; at < arguments.size(); ++at) {
        const QString &argument = arguments[at];
        const auto is = [&argument](const char *name) {
            return argument == QLatin1String(name)
                   || argument.startsWith(QLatin1String(name) + u'=');
        };
        QString value;
        if (optionsEnded || !argument.startsWith(u'-') || argument == QLatin1String("-")) {
            operands << argument;
        } else if (argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            options.help = true;
        } else if (argument == QLatin1String("--version")) {
            options.version = true;
        } else if (argument == QLatin1String("--quiet") || argument == QLatin1String("-q")) {
            options.quiet = true;
        } else if (argument == QLatin1String("--ignore-case")) {
            options.compare.rules.ignoreCase = true;
        } else if (argument == QLatin1String("--ignore-space")) {
            options.compare.rules.ignoreSpace = true;
        } else if (argument == QLatin1String("--no-header")) {
            options.compare.header = false;
        } else if (is("--key") || is("--ignore-columns") || is("--delimiter") || is("--format")) {
            const QString name = argument.section(u'=', 0, 0);
            if (!optionValue(arguments, at, name, value) || value.isEmpty())
                return QStringLiteral("%1 needs a value").arg(name);
            if (name == QLatin1String("--key")) {
                options.compare.key = value;
            } else if (name == QLatin1String("--ignore-columns")) {
                options.compare.ignoreColumns = value;
            } else if (name == QLatin1String("--delimiter")) {
                options.delimiter = delimiterValue(value);
                if (options.delimiter.isNull())
                    return QStringLiteral("--delimiter takes one character or \"tab\", not "
                                          "\"%1\"")
                        .arg(value);
            } else if (value == QLatin1String("text")) {
                options.format = Csv::ReportFormat::Text;
            } else if (value == QLatin1String("csv")) {
                options.format = Csv::ReportFormat::Csv;
            } else if (value == QLatin1String("json")) {
                options.format = Csv::ReportFormat::Json;
            } else {
                return QStringLiteral("--format takes text, csv or json, not \"%1\"").arg(value);
            }
        } else {
            return QStringLiteral("Unknown option \"%1\"").arg(argument);
        }
    }
    if (options.help || options.version)
        return QString();
    if (operands.size() != 2)
        return QStringLiteral("Give exactly two files to compare");
    options.file1 = operands[0];
    options.file2 = operands[1];
    return QString();
}

// Loads and reads one file (or standard input for "-"), as the other modes
// load theirs; throws AppError with a message that names it.
Csv::Table readFile(const QString &path, QChar delimiter)
{
    InputFile input = readInputFile(path);
    if (!input.ok())
        throw AppError(input.error);
    const QString text = Files::decodeToPaneText(std::exchange(input.bytes, {}));
    Csv::ReadResult read = Csv::readCsv(text, delimiter);
    if (!read.ok())
        throw AppError(QStringLiteral("%1: %2").arg(path, read.error.message));
    return std::move(read.table);
}

int run(const RowsOptions &options)
{
    // Both files are loaded and read at once, one on each core.
    auto reading2 = std::async(std::launch::async, readFile, options.file2, options.delimiter);
    std::shared_ptr<const Csv::Table> table1;
    QString failure;
    try {
        table1 = std::make_shared<const Csv::Table>(readFile(options.file1, options.delimiter));
    } catch (const AppError &error) {
        failure = error.description();
    }
    std::shared_ptr<const Csv::Table> table2;
    try {
        table2 = std::make_shared<const Csv::Table>(reading2.get());
    } catch (const AppError &error) {
        if (failure.isEmpty())
            failure = error.description();
    }
    if (!failure.isEmpty()) {
        printError(failure);
        return Failure;
    }

    const Csv::RowComparison result = Csv::compareTables(table1, table2, options.compare);
    if (!result.ok()) {
        // The file first; an error of both files is said of each.
        if (result.error.file != 2)
            printError(options.file1 + QStringLiteral(": ") + result.error.message);
        if (result.error.file != 1)
            printError(options.file2 + QStringLiteral(": ") + result.error.message);
        return Failure;
    }
    if (!options.quiet) {
        const QByteArray report =
            Csv::formatReport(result, options.format, options.file1, options.file2);
        std::fwrite(report.constData(), 1, size_t(report.size()), stdout);
    }
    if (!flushStandardOutput())
        return Failure;
    // The csv format has no place for these: say so rather than leave them out silently.
    if (!options.quiet && options.format == Csv::ReportFormat::Csv
        && !result.duplicateKeys.empty()) {
        printError(QStringLiteral("%1 duplicate keys left unmatched (listed by --format text "
                                  "or json)")
                       .arg(result.duplicateKeys.size()));
    }
    return result.hasDifferences() ? Differences : NoDifferences;
}

} // namespace

int runRows(const QStringList &arguments)
{
    RowsOptions options;
    const QString error = parseRows(arguments, options);
    if (!error.isEmpty()) {
        printUsageError(error, QStringLiteral("rows"));
        return Failure;
    }
    if (options.help || options.version) {
        printTo(stdout, options.help ? rowsUsageText() : versionText());
        return flushStandardOutput() ? NoDifferences : Failure;
    }
    if (const QString twice = sameInputTwice(options.file1, options.file2); !twice.isEmpty()) {
        printUsageError(twice, QStringLiteral("rows"));
        return Failure;
    }
    try {
        return run(options);
    } catch (const AppError &failure) {
        printError(failure.description());
    } catch (const std::exception &failure) {
        printError(QString::fromLocal8Bit(failure.what()));
    }
    return Failure;
}

qsizetype rowsModeAt(const QStringList &arguments)
{
    static const QStringList withValue{"--key", "--ignore-columns", "--delimiter", "--format"};
    for (qsizetype at = 0; at < arguments.size(); ++at) {
        const QString &argument = arguments[at];
        if (withValue.contains(argument))
            ++at;
        else if (argument == QLatin1String("--") || !argument.startsWith(u'-'))
            return argument == QLatin1String("rows") ? at : -1;
    }
    return -1;
}

QString rowsUsageText()
{
    return QStringLiteral(
        "Usage: corvantis-cli rows FILE1 FILE2 [--key COLS] [--ignore-case]\n"
        "           [--ignore-space] [--ignore-columns COLS] [--delimiter C]\n"
        "           [--no-header] [--format text|csv|json]\n"
        "\n"
        "Compares two CSV files as tables. With --key, rows are matched by their key\n"
        "and reported as removed (-), added (+) or changed (~, cell by cell); a key\n"
        "found twice in a file is reported with its lines and not matched. Without\n"
        "--key, whole rows are compared as a multiset.\n"
        "\n"
        "COLS: header names or 1-based column numbers, comma-separated.\n"
        "When both files have a header, columns are matched by name.\n"
        "\n"
        "  --key COLS             the columns that identify a row\n"
        "  --ignore-case          compare cells with Unicode case folding\n"
        "  --ignore-space         ignore blanks around each cell\n"
        "  --ignore-columns COLS  leave these columns out of the comparison\n"
        "  --delimiter C          , ; | or tab (default: detected in each file)\n"
        "  --no-header            the first row is data; columns are numbered\n"
        "  --format F             text (default), csv or json\n"
        "  -q, --quiet            print nothing on standard output; only the exit\n"
        "                         status tells whether the files differ\n"
        "  -h, --help             print this text\n"
        "  --version              print the version and the license\n"
        "\n"
        "Exit status: 0 no differences, 1 differences found, 2 error (missing file,\n"
        "malformed CSV, unknown column).\n");
}

} // namespace Cli
