#pragma once

#include <functional>

#include <QString>

namespace Bench {

// The text a pane holds after loading `path`: the decoded file plus the CR
// the load command appends. Exits with a message when the file is missing.
QString loadPane(const QString &path);

// Runs `work` `runs` times and gives the median wall time in milliseconds.
double medianMs(const std::function<void()> &work, int runs = 3);

// Processor time of this process so far, all threads, in milliseconds.
double processCpuMs();

// Peak resident memory of this process, in MiB.
double peakRssMiB();

// Resident memory of this process now, in MiB.
double currentRssMiB();

// The folder of the data files: the first argument, or bench/data.
QString dataFolder(int argc, char **argv);

} // namespace Bench
