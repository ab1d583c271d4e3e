#pragma once

#include <QString>

#include "io/FileReader.h"

namespace Cli {

// What reading one file named on the command line gave: its bytes, or why
// it could not be read (error not empty: the file's name, ": " and the reason).
using InputFile = Files::FileBytes;

// Reads the whole file named by a command-line argument (see base/ArgumentText.h:
// the name is opened by its original bytes). "-" reads standard input. Pipes,
// process substitution and devices are read until their end, not by size.
InputFile readInputFile(const QString &argument);

// Why two arguments cannot both be read: "-" twice, or the same pipe (or
// socket) under two names, which would split its data between the two files
// or wait for ever. Empty when they can; the same regular file twice can.
QString sameInputTwice(const QString &argument1, const QString &argument2);

} // namespace Cli
