#pragma once

#include <QStringList>

namespace Cli {

// corvantis-cli rows FILE1 FILE2 [options]: the arguments after the program
// name, less the word "rows". Prints the report and returns the exit status
// (0 no differences, 1 differences, 2 error).
int runRows(const QStringList &arguments);

// Where the word "rows" stands as the mode of a command line (options before
// it and their values skipped), or -1.
qsizetype rowsModeAt(const QStringList &arguments);

QString rowsUsageText();

} // namespace Cli
