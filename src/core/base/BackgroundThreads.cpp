#include "base/BackgroundThreads.h"

#include <algorithm>
#include <atomic>
#include <cerrno>

#include <QtGlobal>

#if defined(Q_OS_LINUX)
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#elif defined(Q_OS_WIN)
#include <windows.h>
#endif

namespace {

std::atomic_bool lowered{false};

} // namespace

void lowerBackgroundThreads()
{
    lowered = true;
}

void asBackgroundThread()
{
    thread_local bool done = false;
    if (done || !lowered)
        return;
    done = true;
#if defined(Q_OS_LINUX)
    // Linux gives each thread a nice value of its own, named by its id.
    constexpr int kNicer = 5; // a third of the window thread's share of a core
    const auto thread = id_t(::syscall(SYS_gettid));
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, thread);
    if (errno == 0)
        ::setpriority(PRIO_PROCESS, thread, std::min(nice + kNicer, 19));
#elif defined(Q_OS_WIN)
    ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
#endif
}
