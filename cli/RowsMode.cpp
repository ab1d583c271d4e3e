#include "RowsMode.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>

#include "CliOptions.h"
#include "InputFile.h"
#include "MappedInputs.h"
#include "MemoryOption.h"
#include "Messages.h"
#include "ProgressLine.h"
#include "SheetOption.h"
#include "base/AppError.h"
#include "base/BothAtOnce.h"
#include "csv/CsvReader.h"
#include "csv/ReportSaving.h"
#include "csv/RowComparison.h"
#include "csv/RowsReport.h"
#include "csv/SpilledComparison.h"
#include "csv/XlsxReport.h"
#include "io/MappedFile.h"
#include "text/TextDecoding.h"

namespace Cli {

namespace {

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
    QString output;         // --output: the report's file; empty, standard output
    bool gitDriver = false; // called by git as an external diff
    bool quiet = false;     // print nothing on standard output; the exit status tells
    SheetChoice sheets;
    qint64 memory = defaultMemory(); // --memory
};

// The options that take a value; --color takes one only as --color=WHEN.
const QStringList withValue =
    QStringList{"--key", "--ignore-columns", "--delimiter", "--format", "--tolerance",
                "--map", "--decimal-comma",  "--output",    "--memory"}
    + SheetChoice::options();

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
    if (SheetChoice::options().contains(name))
        return options.sheets.take(name, value);
    Csv::ColumnListParse columns;
    if (name == QLatin1String("--key") || name == QLatin1String("--ignore-columns")) {
        columns = Csv::parseColumnList(value);
        if (!columns.error.isEmpty())
            return name + QStringLiteral(": ") + columns.error;
    }
    if (name == QLatin1String("--key")) {
        // "auto" guesses; a column named auto is --key '"auto"'.
        options.compare.guessKey = value == QLatin1String("auto");
        options.compare.key = options.compare.guessKey ? Csv::ColumnSelection() : columns.columns;
    } else if (name == QLatin1String("--map")) {
        const Csv::RenameParse parse = Csv::parseRename(value);
        if (!parse.error.isEmpty())
            return QStringLiteral("--map takes OLD=NEW: %1").arg(parse.error);
        options.compare.renames.push_back(parse.rename);
    } else if (name == QLatin1String("--ignore-columns")) {
        options.compare.ignoreColumns = std::move(columns.columns);
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
    } else if (name == QLatin1String("--output")) {
        options.output = value;
    } else if (name == QLatin1String("--memory")) {
        options.memory = parseMemorySize(value);
        if (options.memory <= 0)
            return QStringLiteral("--memory takes a size such as 4G, 512M or 100000 (bytes), "
                                  "not \"%1\"")
                .arg(value);
    } else if (value == QLatin1String("text")) {
        options.format = Csv::ReportFormat::Text;
    } else if (value == QLatin1String("csv")) {
        options.format = Csv::ReportFormat::Csv;
    } else if (value == QLatin1String("json")) {
        options.format = Csv::ReportFormat::Json;
    } else if (value == QLatin1String("html")) {
        options.format = Csv::ReportFormat::Html;
    } else if (value == QLatin1String("xlsx")) {
        options.format = Csv::ReportFormat::Xlsx;
    } else {
        return QStringLiteral("--format takes text, csv, json, html or xlsx, not \"%1\"")
            .arg(value);
    }
    return QString();
}

// A flag; false when `argument` is none.
bool takeFlag(const QString &argument, RowsOptions &options)
{
    if (argument == QLatin1String("--ignore-case"))
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

// The files, as the operands give them: two, or git's seven.
QString takeOperands(const QStringList &operands, RowsOptions &options)
{
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

// A table read, and whether it came from a workbook.
struct ReadTable
{
    Csv::Table table;
    bool workbook = false;
};

// Loads and reads one file (or standard input for "-"); throws AppError with
// a message that names it. A file that is not UTF-8 is said so.
// A workbook is read as the CSV text of its sheet.
ReadTable readFile(const QString &path, char delimiter, const SheetChoice &sheets, int file,
                   Csv::WorkControl *control, const Files::MappedFile *mapped)
{
    InputFile input;
    if (mapped)
        input.bytes = mapped->bytes();
    else
        input = readInputFile(path);
    if (!input.ok())
        throw AppError(input.error);
    const bool workbook = readWorkbookSheet(input, path, sheets.forFile(file),
                                            !(file == 1 ? sheets.file1 : sheets.file2).isEmpty());
    if (!input.ok())
        throw AppError(input.error);
    Csv::ReadResult read = Csv::readCsvFile(std::exchange(input.bytes, {}), delimiter, control);
    if (!read.ok())
        throw AppError(path + QStringLiteral(": ") + read.error.message);
    return {std::move(read.table), workbook};
}

// The key as --key takes it, every name quoted.
QString keyList(const Csv::RowComparison &result)
{
    QStringList items;
    for (const qsizetype c : result.keyColumns) {
        const QString name =
            result.mapping.byName
                ? u'"' + result.mapping.name(c).replace(u'"', QStringLiteral("\"\"")) + u'"'
                : result.mapping.name(c);
        items << name;
    }
    return items.join(u',');
}

bool colourWanted(Colour colour)
{
    if (colour != Colour::Auto)
        return colour == Colour::Always;
    const char *term = std::getenv("TERM");
    return ::isatty(STDOUT_FILENO) && !std::getenv("NO_COLOR") && term
           && std::strcmp(term, "dumb") != 0;
}

// Writes the report to --output, whole or not at all; the error, or empty.
QString writeReportFile(const Csv::RowComparison &result, const Csv::ReportOptions &names,
                        const RowsOptions &options)
{
    const QString error = Csv::saveReport(options.output, result, options.format, names);
    return error.isEmpty() ? QString() : options.output + QStringLiteral(": ") + error;
}

// Compares in memory, or within --memory when the tables need more; a
// temporary file that cannot be written (a full disk) is an error.
Csv::RowComparison compare(std::shared_ptr<const Csv::Table> table1,
                           std::shared_ptr<const Csv::Table> table2, const Csv::RowOptions &options,
                           qint64 memory)
{
    if (!comparisonNeedsBound(table1->bytes().size(), table2->bytes().size(), memory))
        return Csv::compareTables(std::move(table1), std::move(table2), options);
    const Csv::MemoryBudget budget{comparisonBudget(memory), QDir::tempPath()};
    return Csv::compareTablesWithin(std::move(table1), std::move(table2), options, budget);
}

int run(const RowsOptions &options)
{
    // Regular files are mapped, not read into memory.
    const MappedInputs mapped(options.file1, options.file2, options.memory);
    if (!mapped.error().isEmpty()) {
        printError(mapped.error());
        return Failure;
    }
    ProgressLine progress(options.quiet);
    if (Csv::WorkControl *control = progress.control())
        control->start(Csv::WorkPhase::Reading,
                       QFileInfo(options.file1).size() + QFileInfo(options.file2).size());
    // Both files are loaded and read at once, one on each core.
    std::array<ReadTable, 2> read;
    std::array<QString, 2> errors;
    const auto readSide = [&](size_t side) {
        try {
            read[side] = readFile(side == 0 ? options.file1 : options.file2, options.delimiter,
                                  options.sheets, int(side) + 1, progress.control(),
                                  mapped.file(int(side) + 1));
        } catch (const AppError &error) {
            errors[side] = error.description();
        }
    };
    runBothAtOnce([&] { readSide(0); }, [&] { readSide(1); });
    const bool workbook1 = read[0].workbook;
    const bool workbook2 = read[1].workbook;
    const auto table1 = std::make_shared<const Csv::Table>(std::move(read[0].table));
    const auto table2 = std::make_shared<const Csv::Table>(std::move(read[1].table));
    QString failure = errors[0].isEmpty() ? errors[1] : errors[0];
    if (failure.isEmpty())
        failure = sheetWithoutWorkbook(options.sheets, workbook1, workbook2);
    if (!failure.isEmpty()) {
        progress.clear();
        printError(failure);
        return Failure;
    }
    if (table1->invalidLine() > 0 || table2->invalidLine() > 0)
        progress.clear();
    printEncodingNote(options.file1, table1->invalidLine(), table1->encoding());
    printEncodingNote(options.file2, table2->invalidLine(), table2->encoding());

    Csv::RowOptions compare = options.compare;
    compare.control = progress.control();
    Csv::RowComparison result;
    try {
        result = Cli::compare(table1, table2, compare, options.memory);
    } catch (const AppError &error) {
        progress.clear();
        printError(error.description());
        return Failure;
    }
    progress.clear();
    if (result.ok() && options.compare.guessKey) {
        printError(result.keyGuessed ? QStringLiteral("key: %1").arg(keyList(result))
                                     : QStringLiteral("key: none found; whole rows compared"));
    }
    if (!result.ok()) {
        // The file first; an error of both files is said of each.
        if (result.error.file != 2)
            printError(options.file1 + QStringLiteral(": ") + result.error.message);
        if (result.error.file != 1)
            printError(options.file2 + QStringLiteral(": ") + result.error.message);
        return Failure;
    }
    // --quiet keeps standard output empty; a report asked for by --output is
    // still written.
    if (!options.quiet || !options.output.isEmpty()) {
        // git calls once a file: each report says which file it is of.
        Csv::ReportOptions names{options.name1, options.name2,
                                 options.format == Csv::ReportFormat::Text
                                     && options.output.isEmpty() && colourWanted(options.colour),
                                 options.gitDriver};
        names.rules = options.compare.rules;
        // The line follows the writing too, unless the report itself goes to
        // the terminal, where the two would mix.
        if (!options.output.isEmpty() || !::isatty(STDOUT_FILENO))
            names.control = progress.control();
        if (!options.output.isEmpty()) {
            if (const QString error = writeReportFile(result, names, options); !error.isEmpty()) {
                progress.clear();
                printError(error);
                return Failure;
            }
        } else {
            Csv::writeReport(result, options.format, names, [](QByteArrayView piece) {
                writeBytes(stdout, piece);
                return !std::ferror(stdout);
            });
        }
        progress.clear();
    }
    if (!flushStandardOutput())
        return Failure;
    // git stops at an external diff that does not exit with 0.
    if (options.gitDriver)
        return NoDifferences;
    return result.hasDifferences() ? Differences : NoDifferences;
}

class RowsMode final : public Mode
{
public:
    QString name() const override { return QStringLiteral("rows"); }
    QString usage() const override { return rowsUsageText(); }
    QString file1() const override { return m_options.file1; }
    QString file2() const override { return m_options.file2; }

    OptionTable options() override
    {
        return {withValue,
                {QStringLiteral("--color")},
                [this](const QString &argument) { return takeFlag(argument, m_options); },
                [this](const QString &name, const std::optional<QString> &value) {
                    if (!value || value->isEmpty())
                        return QStringLiteral("%1 needs a value").arg(name);
                    return takeValue(name, *value, m_options);
                }};
    }

    QString finish(const CommandLine &line) override
    {
        m_options.quiet = line.quiet;
        // A workbook is binary: it goes to a file, never to a terminal or a pipe.
        if (m_options.format == Csv::ReportFormat::Xlsx
            && (m_options.output.isEmpty() || m_options.output == QLatin1String("-")))
            return QStringLiteral("--format xlsx writes a binary workbook: name its file with "
                                  "--output FILE");
        return takeOperands(line.operands, m_options);
    }

    int run() override { return Cli::run(m_options); }

private:
    RowsOptions m_options;
};

} // namespace

std::unique_ptr<Mode> makeRowsMode()
{
    return std::make_unique<RowsMode>();
}

QString rowsUsageText()
{
    return QStringLiteral(
               "Usage: corvantis-cli rows FILE1 FILE2 [--key COLS|auto] [--map OLD=NEW]\n"
               "           [--ignore-case] [--ignore-space] [--numbers] [--tolerance EPS]\n"
               "           [--ignore-columns COLS] [--delimiter C] [--no-header]\n"
               "           [--format text|csv|json|html|xlsx] [--output FILE] [--color[=WHEN]]\n"
               "           [--sheet NAME|N] [--sheet1 NAME|N] [--sheet2 NAME|N] [--memory SIZE]\n"
               "\n"
               "Compares two CSV files as tables. With --key, rows are matched by their key\n"
               "and reported as removed (-), added (+) or changed (~, cell by cell, old and\n"
               "new value); a key found twice in a file is reported once with its lines and\n"
               "not matched. Without --key, whole rows are compared as a multiset. Cells\n"
               "compare by their bytes, line breaks inside quotes included.\n"
               "\n"
               "COLS: comma-separated, in CSV quoting (--key '\"last, first\",id'). A number\n"
               "is the column at that position; a name (or a quoted number) a header name;\n"
               "'\"\"' is a column with an empty name. When both files have a header,\n"
               "columns are matched by name.\n"
               "\n"
               "  --key COLS             the columns that identify a row\n"
               "  --key auto             guess the key: the fewest columns (up to three,\n"
               "                         leftmost first) non-empty and unique in both files;\n"
               "                         the key chosen is printed on standard error\n"
               "  --map OLD=NEW          compare file 1's column OLD with file 2's NEW, a\n"
               "                         column renamed (repeatable; each side as in COLS,\n"
               "                         '\"a=b\"=c' for a name holding =)\n"
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
               "  --sheet NAME|N         the sheet of each workbook (.xlsx, .xlsm, .ods) to\n"
               "                         compare: by name, else the N-th (default: the first)\n"
               "  --sheet1, --sheet2     the sheet of file 1 or file 2 only\n"
               "  --format F             text (default), csv, json, html or xlsx; the csv\n"
               "                         report has one line a finding: [status] (- + ~,\n"
               "                         ! a row of a duplicate key, # a note), [line1],\n"
               "                         [line2], the cells, [old] NAME before each column\n"
               "                         that changed, [changed], [note]; html is one page\n"
               "                         for a browser, rows coloured by status, changed\n"
               "                         characters marked; xlsx a workbook, written only\n"
               "                         to a file (see --output): the differences,\n"
               "                         coloured and filtered, and a summary\n"
               "  --output FILE          write the report to FILE (whole or not at all)\n"
               "                         instead of standard output\n"
               "  --color[=WHEN]         colour the text report: auto (on a terminal, the\n"
               "                         default), always or never\n"
               "  --memory SIZE          the most memory the comparison may use, in bytes\n"
               "                         or with K, M, G or T (default: half this\n"
               "                         machine's memory, %1 here); files larger than\n"
               "                         it allows are compared in parts, written to\n"
               "                         temporary files in $TMPDIR (else /tmp) that are\n"
               "                         removed however the program ends\n"
               "  -q, --quiet            print nothing on standard output; only the exit\n"
               "                         status tells whether the files differ (a report\n"
               "                         to --output is still written)\n"
               "  -h, --help             print this text\n"
               "  --version              print the version and the license\n"
               "\n"
               "Called by git as an external diff (seven arguments), it compares the two\n"
               "versions, opens the report with the file's path and exits with 0.\n"
               "\n"
               "Exit status: 0 no differences, 1 differences in data (rows, columns only\n"
               "one file has, ragged rows, duplicate keys; columns that only moved are not),\n"
               "2 error (missing file, malformed CSV, unknown column, no room left for\n"
               "the temporary files).\n"
               "\n"
               "Work that takes over a second shows how far it has come on standard error\n"
               "when that is a terminal, unless --quiet is given.\n")
        .arg(memorySizeText(defaultMemory()));
}

} // namespace Cli
