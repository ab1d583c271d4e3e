#pragma once

#include <chrono>

#include "csv/WorkControl.h"

namespace Cli {

// The line that shows how far long work has come ("corvantis-cli: comparing
// 42%"): only on a terminal's standard error, only once the work has taken a
// second, never with --quiet. clear() takes it away before anything else is
// written.
class ProgressLine
{
public:
    explicit ProgressLine(bool quiet);
    ~ProgressLine() { clear(); }
    ProgressLine(const ProgressLine &) = delete;
    ProgressLine &operator=(const ProgressLine &) = delete;

    // What the work is told to report to; null when no line is wanted.
    Csv::WorkControl *control() { return m_wanted ? &m_control : nullptr; }
    void clear();

private:
    void show(Csv::WorkPhase phase, double done);

    bool m_wanted;
    bool m_shown = false;
    std::chrono::steady_clock::time_point m_start;
    Csv::WorkControl m_control;
};

} // namespace Cli
