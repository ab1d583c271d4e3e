#include "BenchSupport.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#if defined(_WIN32)
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>
#else
#include <sys/resource.h>
#endif
#include <vector>

#include <QFile>
#include <QFileInfo>

#include "base/AppError.h"
#include "text/TextDecoding.h"

namespace Bench {

QString loadPane(const QString &path)
{
    if (!QFileInfo::exists(path)) {
        std::fprintf(stderr, "Missing %s: run bench_make_data first.\n", qPrintable(path));
        std::exit(2);
    }
    try {
        return Files::loadFileText(path) + u'\r';
    } catch (const AppError &error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.description()));
        std::exit(2);
    }
}

double medianMs(const std::function<void()> &work, int runs)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        times.push_back(took.count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

#if defined(_WIN32)
double processCpuMs()
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return 0;
    const auto ms = [](const FILETIME &t) { // in units of 100 ns
        return double((quint64(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e4;
    };
    return ms(kernel) + ms(user);
}

double peakRssMiB()
{
    PROCESS_MEMORY_COUNTERS counters{};
    if (!K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return 0;
    return double(counters.PeakWorkingSetSize) / (1 << 20);
}

double currentRssMiB()
{
    PROCESS_MEMORY_COUNTERS counters{};
    if (!K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return 0;
    return double(counters.WorkingSetSize) / (1 << 20);
}
#else
double processCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval &t) {
        return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

double peakRssMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0; // ru_maxrss is in KiB on Linux
}

double currentRssMiB()
{
    QFile status(QStringLiteral("/proc/self/statm"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = status.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * 4096 / (1 << 20) : 0;
}
#endif

QString dataFolder(int argc, char **argv)
{
    return argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(CORVANTIS_BENCH_DATA);
}

} // namespace Bench
