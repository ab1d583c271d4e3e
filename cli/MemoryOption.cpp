#include "MemoryOption.h"

#include <algorithm>

#include <QRegularExpression>

#if defined(Q_OS_WIN)
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace Cli {

namespace {

// The program, its libraries and its buffers, whatever it compares.
constexpr qint64 kBaseline = qint64(64) << 20;

qint64 machineMemory()
{
#if defined(Q_OS_WIN)
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    return GlobalMemoryStatusEx(&status) ? qint64(status.ullTotalPhys) : 0;
#else
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    return pages > 0 && pageSize > 0 ? qint64(pages) * pageSize : 0;
#endif
}

} // namespace

qint64 defaultMemory()
{
    const qint64 machine = machineMemory();
    return machine > 0 ? machine / 2 : qint64(1) << 30;
}

qint64 parseMemorySize(const QString &text)
{
    static const QRegularExpression size(QStringLiteral("^([0-9]{1,15})([KMGT]?)$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = size.match(text);
    if (!match.hasMatch())
        return -1;
    const qint64 number = match.captured(1).toLongLong();
    const int shift = int(QStringLiteral(" KMGT").indexOf(match.captured(2).toUpper())) * 10;
    if (shift > 0 && number > (qint64(1) << (62 - shift)))
        return -1;
    return shift > 0 ? number << shift : number;
}

QString memorySizeText(qint64 bytes)
{
    // In the largest unit the size holds at least once, rounded down.
    static const char units[] = "KMGT";
    for (int u = 3; u >= 0; --u) {
        const int shift = (u + 1) * 10;
        if (bytes >= (qint64(1) << shift))
            return QString::number(bytes >> shift) + QLatin1Char(units[u]);
    }
    return QString::number(bytes);
}

bool comparisonNeedsBound(qint64 bytes1, qint64 bytes2, qint64 memory)
{
    // A comparison in memory holds the files and about a third more.
    const qint64 files = bytes1 + bytes2;
    return files + files / 3 + kBaseline > memory;
}

qint64 comparisonBudget(qint64 memory)
{
    return std::max<qint64>(memory - kBaseline, 0);
}

} // namespace Cli
