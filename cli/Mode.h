#pragma once

#include <QString>

#include "CliOptions.h"

namespace Cli {

// One way corvantis-cli compares two files, as its command line chooses it.
// main() reads the options through the mode's table, answers --help and
// --version, says every error the same way and gives the exit status.
class Mode
{
public:
    virtual ~Mode() = default;

    // The mode whose help an error points at ("rows"); empty for the
    // general help.
    virtual QString name() const = 0;

    virtual OptionTable options() = 0;

    // Takes the operands and the common options once the loop has read
    // them, and checks the options together; why they cannot be used, or
    // nothing. Not called for --help and --version.
    virtual QString finish(const CommandLine &line) = 0;

    virtual QString usage() const = 0;

    virtual QString file1() const = 0;
    virtual QString file2() const = 0;

    // Compares the files and prints the result; returns the exit status.
    // May throw AppError or any std::exception: main() says it and fails.
    virtual int run() = 0;
};

} // namespace Cli
