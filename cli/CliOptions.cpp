#include "CliOptions.h"

namespace Cli {

namespace {

// Takes the value of --result, given as "--result N" or "--result=N".
QString resultValue(const QStringList &arguments, qsizetype &at, QString &error)
{
    const QString &argument = arguments[at];
    if (argument.startsWith(QLatin1String("--result=")))
        return argument.mid(9);
    if (at + 1 >= arguments.size()) {
        error = QStringLiteral("--result needs a file number, 1 or 2");
        return QString();
    }
    return arguments[++at];
}

// Why the options that choose what is printed cannot all be used at once, or
// nothing when at most one of them is given.
QString outputModes(const CliOptions &options)
{
    QStringList given;
    if (options.resultOf != 0)
        given << QStringLiteral("--result");
    if (options.json)
        given << QStringLiteral("--json");
    if (options.stat)
        given << QStringLiteral("--stat");
    if (options.quiet)
        given << QStringLiteral("--quiet");
    if (given.size() < 2)
        return QString();
    return QStringLiteral("%1 and %2 cannot be used together").arg(given[0], given[1]);
}

} // namespace

ParsedCommandLine parseCommandLine(const QStringList &arguments)
{
    ParsedCommandLine parsed;
    CliOptions &options = parsed.options;
    QStringList operands;
    bool optionsEnded = false;
    for (qsizetype at = 0; at < arguments.size() && parsed.error.isEmpty(); ++at) {
        const QString &argument = arguments[at];
        if (optionsEnded || !argument.startsWith(u'-') || argument == QLatin1String("-")) {
            operands << argument;
        } else if (argument == QLatin1String("--")) {
            optionsEnded = true;
        } else if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            options.help = true;
        } else if (argument == QLatin1String("--version")) {
            options.version = true;
        } else if (argument == QLatin1String("--json")) {
            options.json = true;
        } else if (argument == QLatin1String("--stat")) {
            options.stat = true;
        } else if (argument == QLatin1String("--quiet") || argument == QLatin1String("-q")) {
            options.quiet = true;
        } else if (argument == QLatin1String("--result")
                   || argument.startsWith(QLatin1String("--result="))) {
            const QString value = resultValue(arguments, at, parsed.error);
            if (!parsed.error.isEmpty())
                break;
            if (options.resultOf != 0)
                parsed.error = QStringLiteral("--result is given twice");
            else if (value == QLatin1String("1") || value == QLatin1String("2"))
                options.resultOf = value.toInt();
            else
                parsed.error = QStringLiteral("--result takes 1 or 2, not \"%1\"").arg(value);
        } else {
            parsed.error = QStringLiteral("Unknown option \"%1\"").arg(argument);
        }
    }
    if (!parsed.error.isEmpty() || options.help || options.version)
        return parsed;

    const QString modes = outputModes(options);
    if (!modes.isEmpty()) {
        parsed.error = modes;
    } else if (operands.isEmpty()) {
        parsed.error = QStringLiteral("Say which comparison: \"lines\", \"words\" or \"rows\"");
    } else if (operands[0] != QLatin1String("lines") && operands[0] != QLatin1String("words")) {
        parsed.error =
            QStringLiteral("Unknown comparison \"%1\": say \"lines\", \"words\" or \"rows\"")
                .arg(operands[0]);
    } else if (operands.size() != 3) {
        parsed.error = QStringLiteral("Give exactly two files to compare");
    } else {
        options.comparison =
            operands[0] == QLatin1String("lines") ? Comparison::Lines : Comparison::Words;
        options.file1 = operands[1];
        options.file2 = operands[2];
    }
    return parsed;
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
