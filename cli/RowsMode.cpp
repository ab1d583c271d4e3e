#include "RowsMode.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <future>
#include <unistd.h>

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

enum class Colour { Auto, Always, Never };

struct RowsOptions
{
    QString file1;
    QString file2;
    QString name1; // as the report names the files
    QString name2;
    Csv::RowOptions compare;
    char delimiter = 0; // 0: detected in each file
    Csv::ReportFormat format = Csv::ReportFormat::Text;
    Colour colour = Colour::Auto;
    bool gitDriver = false; // called by git as an external diff
    bool help = false;
    bool version = false;
    bool quiet = false; // print nothing on standard output; the exit status tells
};

void printTo(std::FILE *stream, const QString &text)
{
    writeBytes(stream, text.toUtf8());
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

// One ASCII character that is not a quote or a line break, or "tab".
char delimiterValue(const QString &value)
{
    if (value == QLatin1String("tab") || value == QLatin1String("\\t"))
        return '\t';
    if (value.size() != 1 || value[0].unicode() >= 0x80 || value == QLatin1String("\"")
        || value == QLatin1String("\r") || value == QLatin1String("\n"))
        return 0;
    return char(value[0].unicode());
}

// git diff's external-diff call: PATH OLD-FILE OLD-HEX OLD-MODE NEW-FILE NEW-HEX NEW-MODE.
bool isGitCall(const QStringList &operands)
{
    if (operands.size() != 7)
        return false;
    const auto hex = [](const QString &text) {
        return text == QLatin1String(".")
               || (text.size() >= 7 && std::all_of(text.begin(), text.end(), [](QChar c) {
                       return isxdigit(c.unicode()) != 0;
                   }));
    };
    const auto mode = [](const QString &text) {
        return text == QLatin1String(".")
               || (!text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) {
                      return c >= u'0' && c <= u'7';
                  }));
    };
    return hex(operands[2]) && mode(operands[3]) && hex(operands[5]) && mode(operands[6]);
}

// The value of an option that takes one; an error message when it is wrong.
QString takeValue(const QString &name, const QString &value, RowsOptions &options)
{
    if (name == QLatin1String("--key")) {
        options.compare.key = value;
    } else if (name == QLatin1String("--ignore-columns")) {
        options.compare.ignoreColumns = value;
    } else if (name == QLatin1String("--delimiter")) {
        options.delimiter = delimiterValue(value);
        if (options.delimiter == 0)
            return QStringLiteral("--delimiter takes one ASCII character or \"tab\", not \"%1\"")
                .arg(value);
    } else if (name == QLatin1String("--tolerance")) {
        bool ok = false;
        options.compare.rules.tolerance = value.toDouble(&ok);
        if (!ok || !(options.compare.rules.tolerance >= 0)
            || !std::isfinite(options.compare.rules.tolerance))
            return QStringLiteral("--tolerance takes a number of 0 or more, not \"%1\"").arg(value);
        options.compare.rules.numbers = true;
    } else if (name == QLatin1String("--decimal-comma")) {
        static const QStringList files{"1", "2", "both"};
        if (!files.contains(value))
            return QStringLiteral("--decimal-comma takes 1, 2 or both, not \"%1\"").arg(value);
        if (value != QLatin1String("2"))
            options.compare.decimalMark1 = Csv::DecimalMark::Comma;
        if (value != QLatin1String("1"))
            options.compare.decimalMark2 = Csv::DecimalMark::Comma;
        options.compare.rules.numbers = true;
    } else if (name == QLatin1String("--color")) {
        static const QStringList whens{"auto", "always", "never"};
        if (!whens.contains(value))
            return QStringLiteral("--color takes auto, always or never, not \"%1\"").arg(value);
        options.colour = Colour(whens.indexOf(value));
    } else if (value == QLatin1String("text")) {
        options.format = Csv::ReportFormat::Text;
    } else if (value == QLatin1String("csv")) {
        options.format = Csv::ReportFormat::Csv;
    } else if (value == QLatin1String("json")) {
        options.format = Csv::ReportFormat::Json;
    } else {
        return QStringLiteral("--format takes text, csv or json, not \"%1\"").arg(value);
    }
    return QString();
}

// A flag; false when `argument` is none.
bool takeFlag(const QString &argument, RowsOptions &options)
{
    if (argument == QLatin1String("--help") || argument == QLatin1String("-h"))
        options.help = true;
    else if (argument == QLatin1String("--version"))
        options.version = true;
    else if (argument == QLatin1String("--quiet") || argument == QLatin1String("-q"))
        options.quiet = true;
    else if (argument == QLatin1String("--ignore-case"))
        options.compare.rules.ignoreCase = true;
    else if (argument == QLatin1String("--ignore-space"))
        options.compare.rules.ignoreSpace = true;
    else if (argument == QLatin1String("--numbers"))
        options.compare.rules.numbers = true;
    else if (argument == QLatin1String("--no-header"))
        options.compare.header = false;
    else if (argument == QLatin1String("--color"))
        options.colour = Colour::Always;
    else
        return false;
    return true;
}

// The options, or why they cannot be used (error not empty).
QString parseRows(const QStringList &arguments, RowsOptions &options)
{
    static const QStringList withValue{"--key",          "--ignore-columns", "--delimiter",
                                       "--format",       "--tolerance",      "--color",
                                       "--decimal-comma"};
    QStringList operands;
    bool optionsEnded = false;
    for (qsizetype at = 0; at < arguments.size(); ++at) {
        const QString &argument = arguments[at];
        const QString name = argument.section(u'=', 0, 0);
        if (optionsEnded || !argument.startsWith(u'-') || argument == QLatin1String("-")) {
            operands << argument;
        } else if (argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (takeFlag(argument, options)) {
        } else if (withValue.contains(name)
                   && (name != QLatin1String("--color") || argument.contains(u'='))) {
            QString value;
            if (!optionValue(arguments, at, name, value) || value.isEmpty())
                return QStringLiteral("%1 needs a value").arg(name);
            if (const QString error = takeValue(name, value, options); !error.isEmpty())
                return error;
        } else {
            return QStringLiteral("Unknown option \"%1\"").arg(argument);
        }
    }
    if (options.help || options.version)
        return QString();
    if (isGitCall(operands)) {
        options.gitDriver = true;
        options.file1 = operands[1];
        options.file2 = operands[4];
        options.name1 = QStringLiteral("a/") + operands[0];
        options.name2 = QStringLiteral("b/") + operands[0];
        return QString();
    }
    if (operands.size() != 2)
        return QStringLiteral("Give exactly two files to compare");
    options.file1 = options.name1 = operands[0];
    options.file2 = options.name2 = operands[1];
    return QString();
}

// Loads and reads one file (or standard input for "-"); throws AppError with
// a message that names it. A file that is not UTF-8 is said so.
Csv::Table readFile(const QString &path, char delimiter)
{
    InputFile input = readInputFile(path);
    if (!input.ok())
        throw AppError(input.error);
    Csv::ReadResult read = Csv::readCsvFile(std::exchange(input.bytes, {}), delimiter);
    if (!read.ok())
        throw AppError(path + QStringLiteral(": ") + read.error.message);
    return std::move(read.table);
}

void sayEncoding(const QString &name, const Csv::Table &table)
{
    if (table.invalidLine() > 0)
        printError(name
                   + QStringLiteral(": not valid UTF-8 (line %1); read as %2")
                         .arg(table.invalidLine())
                         .arg(table.encoding()));
}

bool colourWanted(Colour colour)
{
    if (colour != Colour::Auto)
        return colour == Colour::Always;
    const char *term = std::getenv("TERM");
    return ::isatty(STDOUT_FILENO) && !std::getenv("NO_COLOR") && term
           && std::strcmp(term, "dumb") != 0;
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
    sayEncoding(options.file1, *table1);
    sayEncoding(options.file2, *table2);

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
        const Csv::ReportOptions names{options.name1, options.name2,
                                       options.format == Csv::ReportFormat::Text
                                           && colourWanted(options.colour)};
        Csv::writeReport(result, options.format, names, [](QByteArrayView piece) {
            writeBytes(stdout, piece);
            return !std::ferror(stdout);
        });
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
    // git stops at an external diff that does not exit with 0.
    if (options.gitDriver)
        return NoDifferences;
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
    } catch (const std::bad_alloc &) {
        printError(QStringLiteral("Out of memory: the files are too large to compare here"));
    } catch (const std::exception &failure) {
        printError(QString::fromLocal8Bit(failure.what()));
    }
    return Failure;
}

qsizetype rowsModeAt(const QStringList &arguments)
{
    static const QStringList withValue{"--key",    "--ignore-columns", "--delimiter",
                                       "--format", "--tolerance",      "--decimal-comma"};
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
        "           [--ignore-space] [--numbers] [--tolerance EPS]\n"
        "           [--decimal-comma 1|2|both]\n"
        "           [--ignore-columns COLS] [--delimiter C] [--no-header]\n"
        "           [--format text|csv|json] [--color[=WHEN]]\n"
        "\n"
        "Compares two CSV files as tables. With --key, rows are matched by their key\n"
        "and reported as removed (-), added (+) or changed (~, cell by cell); a key\n"
        "found twice in a file is reported once with its lines and not matched.\n"
        "Without --key, whole rows are compared as a multiset. Cells compare by\n"
        "their bytes, line breaks inside quotes included.\n"
        "\n"
        "COLS: comma-separated, in CSV quoting (--key '\"last, first\",id'). A number\n"
        "is the column at that position; a name (or a quoted number) a header name.\n"
        "When both files have a header, columns are matched by name.\n"
        "\n"
        "  --key COLS             the columns that identify a row\n"
        "  --ignore-case          compare cells with full Unicode case folding\n"
        "  --ignore-space         ignore blanks around each cell; CR LF, CR and LF\n"
        "                         inside a cell count as the same line break\n"
        "  --numbers              cells that both read as numbers compare by value\n"
        "                         exactly (1.0 = 1 = 1e0); decimal commas and\n"
        "                         thousands separators are found in each column\n"
        "                         (24,77 = 24.77; 1,234 alone stays text)\n"
        "  --tolerance EPS        numbers within EPS of each other are equal (implies\n"
        "                         --numbers; for the cells of rows matched by --key)\n"
        "  --decimal-comma F      file 1, 2 or both write numbers with a decimal\n"
        "                         comma (1.234,5) (implies --numbers)\n"
        "  --ignore-columns COLS  leave these columns out of the comparison\n"
        "  --delimiter C          one ASCII character, or tab (default: detected in\n"
        "                         each file)\n"
        "  --no-header            the first row is data; columns are numbered\n"
        "  --format F             text (default), csv or json\n"
        "  --color[=WHEN]         colour the text report: auto (on a terminal, the\n"
        "                         default), always or never\n"
        "  -q, --quiet            print nothing on standard output; only the exit\n"
        "                         status tells whether the files differ\n"
        "  -h, --help             print this text\n"
        "  --version              print the version and the license\n"
        "\n"
        "Called by git as an external diff (seven arguments), it compares the two\n"
        "versions and exits with 0.\n"
        "\n"
        "Exit status: 0 no differences, 1 differences in data (rows, columns only\n"
        "one file has, ragged rows, duplicate keys; columns that only moved are not),\n"
        "2 error (missing file, malformed CSV, unknown column).\n");
}

} // namespace Cli
