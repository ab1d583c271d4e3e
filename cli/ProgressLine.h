#pragma once

#include <chrono>
#include <unistd.h>

#include "csv/WorkControl.h"

namespace Cli {

// The line that shows how far long work has come ("corvantis-cli: comparing
// 42%"): only on a terminal's standard error, only once the work has taken a
// second, never with --quiet. clear() takes it away before anything else is
// written.
class ProgressLine
{
public:
    // `fd` and `quietFor` are standard error and a second but for tests.
    explicit ProgressLine(bool quiet, int fd = STDERR_FILENO,
                          std::chrono::milliseconds quietFor = std::chrono::seconds(1));
    ~ProgressLine() { clear(); }
    ProgressLine(const ProgressLine &) = delete;
    ProgressLine &operator=(const ProgressLine &) = delete;

    // What the work is told to report to; null when no line is wanted.
    Csv::WorkControl *control() { return m_wanted ? &m_control : nullptr; }
    void clear();

private:
    void show(Csv::WorkPhase phase, double done);
    void write(const char *text, int length);

    int m_fd;
    std::chrono::milliseconds m_quietFor;
    bool m_wanted;
    bool m_shown = false;
    std::chrono::steady_clock::time_point m_start;
    Csv::WorkControl m_control;
};

} // namespace Cli
