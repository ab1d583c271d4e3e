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
        } else if (argument == QLatin1String("--json")) {
            options.json = true;
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
    if (!parsed.error.isEmpty() || options.help)
        return parsed;

    if (options.json && options.resultOf != 0) {
        parsed.error = QStringLiteral("--json and --result cannot be used together");
    } else if (operands.isEmpty()) {
        parsed.error = QStringLiteral("Say \"lines\" or \"words\"");
    } else if (operands[0] != QLatin1String("lines") && operands[0] != QLatin1String("words")) {
        parsed.error = QStringLiteral("Unknown comparison \"%1\": say \"lines\" or \"words\"")
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
        "Usage: corvantis-cli lines|words FILE1 FILE2 [--result 1|2] [--json]\n"
        "       corvantis-cli rows FILE1 FILE2 [options]   (corvantis-cli rows --help)\n"
        "       corvantis-cli --help\n"
        "\n"
        "Compares two text (CSV) files the way the Corvantis window does, after\n"
        "loading each one as \"Load CSV File\" does.\n"
        "\n"
        "  lines         list the lines of each file that occur nowhere in the other\n"
        "                (exact, case-sensitive; order and repeats do not matter)\n"
        "  words         pair line i of one file with line i of the other and list\n"
        "                the words (cut at single spaces) that the partner line lacks\n"
        "                at about the same place\n"
        "\n"
        "Without options it prints, for FILE1 and then for FILE2, a heading line and\n"
        "each difference on a line of its own.\n"
        "\n"
        "  --result N    write exactly the bytes \"Save Results #N\" writes for the\n"
        "                result pane of file N (UTF-8, ending with CR LF), nothing else;\n"
        "                not together with --json\n"
        "  --json        print one JSON object:\n"
        "                {\"file1\": {\"text\": T1, \"red\": [[start, length], ...]},\n"
        "                 \"file2\": {...}, \"result1\": R1, \"result2\": R2}\n"
        "                T1, T2: the texts as loaded (line breaks CR LF, one CR\n"
        "                appended); red: the red characters of each text as sorted,\n"
        "                merged ranges in UTF-16 code units; R1, R2: the result panes\n"
        "  -h, --help    print this text\n"
        "\n"
        "Exit status: 0 no differences, 1 differences found, 2 error (a missing\n"
        "file prints \"File not found\" and its path on standard error).\n");
}

} // namespace Cli
