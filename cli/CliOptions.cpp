#include "CliOptions.h"

namespace Cli {

namespace {

bool isOperand(const QString &argument)
{
    return !argument.startsWith(u'-') || argument == QLatin1String("-");
}

// Takes one option of the table at `at` (moving past its value); false when
// the table has no such option.
bool takeOption(const QStringList &arguments, qsizetype &at, const OptionTable &table,
                QString &error)
{
    const QString &argument = arguments[at];
    if (table.flag && table.flag(argument))
        return true;
    const QString name = argument.section(u'=', 0, 0);
    const bool joined = argument.size() > name.size();
    if (!table.withValue.contains(name) && !(joined && table.withJoinedValue.contains(name)))
        return false;
    std::optional<QString> value;
    if (joined)
        value = argument.mid(name.size() + 1);
    else if (at + 1 < arguments.size())
        value = arguments[++at];
    error = table.value(name, value);
    return true;
}

} // namespace

CommandLine readCommandLine(const QStringList &arguments, const OptionTable &table)
{
    CommandLine line;
    bool optionsEnded = false;
    for (qsizetype at = 0; at < arguments.size() && line.error.isEmpty(); ++at) {
        const QString &argument = arguments[at];
        if (optionsEnded || isOperand(argument))
            line.operands << argument;
        else if (argument == QLatin1String("--"))
            optionsEnded = true;
        else if (argument == QLatin1String("--help") || argument == QLatin1String("-h"))
            line.help = true;
        else if (argument == QLatin1String("--version"))
            line.version = true;
        else if (argument == QLatin1String("--quiet") || argument == QLatin1String("-q"))
            line.quiet = true;
        else if (!takeOption(arguments, at, table, line.error))
            line.error = QStringLiteral("Unknown option \"%1\"").arg(argument);
    }
    return line;
}

qsizetype modeAt(const QStringList &arguments, const QStringList &withValue)
{
    for (qsizetype at = 0; at < arguments.size(); ++at) {
        const QString &argument = arguments[at];
        if (argument == QLatin1String("--"))
            return at + 1 < arguments.size() ? at + 1 : -1;
        if (isOperand(argument))
            return at;
        if (withValue.contains(argument))
            ++at;
    }
    return -1;
}

QString usageText()
{
    return QStringLiteral(
        "Usage: corvantis-cli lines|words FILE1 FILE2 [OPTION]\n"
        "       corvantis-cli rows FILE1 FILE2 [options]   (corvantis-cli rows --help)\n"
        "       corvantis-cli --help | --version\n"
        "\n"
        "Compares two text (CSV) files the way the Corvantis window does, after\n"
        "loading each one as \"Load CSV File\" does. A FILE of \"-\" is standard\n"
        "input (for one of the two files only); pipes and process substitution\n"
        "such as <(sort a.csv) are read to their end.\n"
        "\n"
        "  lines         list the lines of each file that occur nowhere in the other\n"
        "                (exact, case-sensitive; order and repeats do not matter)\n"
        "  words         pair line i of one file with line i of the other and list\n"
        "                the words (cut at single spaces) that the partner line lacks\n"
        "                at about the same place\n"
        "\n"
        "Without options it prints, for FILE1 and then for FILE2, a heading line and\n"
        "each difference on a line of its own. At most one of these options:\n"
        "\n"
        "  --stat        print only the headings, each followed by the number of\n"
        "                differing lines (or words) of that file\n"
        "  -q, --quiet   print nothing on standard output; only the exit status\n"
        "                tells whether the files differ\n"
        "  --result N    write exactly the bytes \"Save Results #N\" writes for the\n"
        "                result pane of file N (UTF-8, ending with CR LF), nothing else\n"
        "  --json        print one JSON object:\n"
        "                {\"file1\": {\"text\": T1, \"red\": [[start, length], ...]},\n"
        "                 \"file2\": {...}, \"result1\": R1, \"result2\": R2}\n"
        "                T1, T2: the texts as loaded (line breaks CR LF, one CR\n"
        "                appended); red: the red characters of each text as sorted,\n"
        "                merged ranges in UTF-16 code units; R1, R2: the result panes\n"
        "\n"
        "  -h, --help    print this text\n"
        "  --version     print the version and the license\n"
        "\n"
        "A workbook (.xlsx, .xlsm or .ods, known by its content) is compared as the\n"
        "CSV text of its first sheet; --sheet NAME|N picks the sheet of each\n"
        "workbook by name, else the N-th; --sheet1 and --sheet2 that of one file.\n"
        "\n"
        "Exit status: 0 no differences, 1 differences found, 2 error. Errors go to\n"
        "standard error (also with --quiet), each on a line that starts with\n"
        "\"corvantis-cli: \"; an error about a file names it first: \"FILE: File not\n"
        "found\", \"FILE: Permission denied\", ... A command line that cannot be used\n"
        "is said in one line, followed by \"Try 'corvantis-cli --help'.\"\n");
}

QString versionText()
{
    return QStringLiteral(
               "corvantis-cli (Corvantis) %1\n"
               "Copyright (C) 2026 Quillfen\n"
               "License GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
               "This is free software: you are free to change and redistribute it.\n"
               "There is NO WARRANTY, to the extent permitted by law.\n")
        .arg(QStringLiteral(CORVANTIS_VERSION));
}

} // namespace Cli
