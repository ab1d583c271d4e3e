#pragma once

#include <memory>

#include <QString>

#include "Mode.h"

namespace Cli {

// corvantis-cli rows FILE1 FILE2 [options]: the arguments after the word
// "rows". Exit status 0 no differences, 1 differences, 2 error.
std::unique_ptr<Mode> makeRowsMode();

QString rowsUsageText();

} // namespace Cli
