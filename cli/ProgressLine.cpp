#include "ProgressLine.h"

#include <cstdio>
#include <unistd.h>

namespace Cli {

namespace {

constexpr std::chrono::seconds kQuietFor(1); // work shorter than this shows no line

} // namespace

ProgressLine::ProgressLine(bool quiet)
    : m_wanted(!quiet && ::isatty(STDERR_FILENO)), m_start(std::chrono::steady_clock::now()),
      m_control([this](Csv::WorkPhase phase, double done) { show(phase, done); },
                std::chrono::milliseconds(100))
{
}

void ProgressLine::show(Csv::WorkPhase phase, double done)
{
    if (std::chrono::steady_clock::now() - m_start < kQuietFor)
        return;
    static const char *const names[] = {"reading", "indexing", "comparing", "listing", "writing"};
    // Erased and written whole each time: a shorter line leaves nothing behind.
    std::fprintf(stderr, "\r\033[Kcorvantis-cli: %s %d%%", names[int(phase)], int(done * 100));
    std::fflush(stderr);
    m_shown = true;
}

void ProgressLine::clear()
{
    if (!m_shown)
        return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    m_shown = false;
}

} // namespace Cli
