#include "ProgressLine.h"

#include <cstdio>
#include <unistd.h>

namespace Cli {

ProgressLine::ProgressLine(bool quiet, int fd, std::chrono::milliseconds quietFor)
    : m_fd(fd), m_quietFor(quietFor), m_wanted(!quiet && ::isatty(fd)),
      m_start(std::chrono::steady_clock::now()),
      m_control([this](Csv::WorkPhase phase, double done) { show(phase, done); },
                std::chrono::milliseconds(100))
{
}

void ProgressLine::show(Csv::WorkPhase phase, double done)
{
    if (std::chrono::steady_clock::now() - m_start < m_quietFor)
        return;
    static const char *const names[] = {"reading", "indexing", "comparing",
                                        "listing", "writing",  "partitioning"};
    // Erased and written whole each time: a shorter line leaves nothing behind.
    char line[80];
    const int length = std::snprintf(line, sizeof line, "\r\033[Kcorvantis-cli: %s %d%%",
                                     names[int(phase)], int(done * 100));
    write(line, length);
    m_shown = true;
}

void ProgressLine::clear()
{
    if (!m_shown)
        return;
    write("\r\033[K", 4);
    m_shown = false;
}

void ProgressLine::write(const char *text, int length)
{
    // A terminal that went away only loses the line: the work goes on.
    while (length > 0) {
        const ssize_t written = ::write(m_fd, text, size_t(length));
        if (written <= 0)
            return;
        text += written;
        length -= int(written);
    }
}

} // namespace Cli
