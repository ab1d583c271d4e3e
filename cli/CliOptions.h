#pragma once

#include <QString>
#include <QStringList>

namespace Cli {

enum class Comparison { Lines, Words };

// What the command line asks for.
struct CliOptions
{
    Comparison comparison = Comparison::Lines;
    QString file1;
    QString file2;
    int resultOf = 0; // 1 or 2: write the saved result of that file; 0: not asked
    bool json = false;
    bool stat = false;  // print only the number of differences of each file
    bool quiet = false; // print nothing; the exit status tells
    bool help = false;
    bool version = false;
};

// The options, or why the command line cannot be used (error not empty).
struct ParsedCommandLine
{
    CliOptions options;
    QString error;
};

// Reads the arguments that follow the program name.
ParsedCommandLine parseCommandLine(const QStringList &arguments);

// The text --help prints.
QString usageText();

// The text --version prints.
QString versionText();

} // namespace Cli
