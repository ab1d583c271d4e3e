#pragma once

#include <functional>
#include <optional>

#include <QString>
#include <QStringList>

namespace Cli {

// The exit status of every mode.
enum ExitStatus { NoDifferences = 0, Differences = 1, Failure = 2 };

// What a mode tells the option loop about its own options. An option the
// table does not know is an error.
struct OptionTable
{
    // Options that take a value, as "--key VALUE" or "--key=VALUE".
    QStringList withValue;
    // Options that take a value only as "--color=WHEN"; alone they are flags.
    QStringList withJoinedValue;
    // Takes a flag (the whole argument, "--stat"); false when the mode has none
    // of that name.
    std::function<bool(const QString &argument)> flag;
    // Takes the value of an option of withValue (none when the command line
    // ends after the option's name); an error message when it is wrong.
    std::function<QString(const QString &name, const std::optional<QString> &value)> value;
};

// What the option loop read: the options every mode has, and the operands
// (the mode's word, the files) in their order.
struct CommandLine
{
    QStringList operands;
    bool help = false;
    bool version = false;
    bool quiet = false; // print nothing on standard output; the exit status tells
    QString error;      // why the command line cannot be used; the loop stops there
};

// The one option loop of every mode. Options may stand anywhere; "--" ends
// them and "-" is an operand (standard input). Every mode has -h/--help,
// --version and -q/--quiet; the table gives the rest. A flag is matched as
// the whole argument, so "--stat=1" is unknown.
CommandLine readCommandLine(const QStringList &arguments, const OptionTable &table);

// Where the word that names the mode stands: the first operand, the values of
// the options in `withValue` skipped; -1 when there is none.
qsizetype modeAt(const QStringList &arguments, const QStringList &withValue);

// The text --help prints without a mode, and the text of --version.
QString usageText();
QString versionText();

} // namespace Cli
