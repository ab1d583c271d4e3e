#pragma once

// Where a stall of the window's thread is spent: with CORVANTIS_STALL_STACKS
// set to a number of milliseconds, a watcher thread interrupts the window's
// thread each time it has not ticked for that long and prints its call stack
// to standard error. The names come from the dynamic symbol table, so the
// benchmarks link with -rdynamic. Linux only: elsewhere nothing is watched.
#if defined(__linux__)
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <execinfo.h>
#include <pthread.h>
#include <thread>
#include <unistd.h>

class StallStacks
{
public:
    StallStacks()
    {
        const char *limit = std::getenv("CORVANTIS_STALL_STACKS");
        if (!limit || std::atoi(limit) <= 0)
            return;
        m_limitNs = std::int64_t(std::atoi(limit)) * 1000000;
        m_window = pthread_self();
        void *warmUp[1];
        backtrace(warmUp, 1); // loads what it needs now, not in the handler
        std::signal(SIGUSR2, &StallStacks::printStack);
        m_watcher = std::thread([this] { watch(); });
    }
    ~StallStacks()
    {
        m_stop = true;
        if (m_watcher.joinable())
            m_watcher.join();
    }
    StallStacks(const StallStacks &) = delete;
    StallStacks &operator=(const StallStacks &) = delete;

    // Called on every tick of the window's thread.
    void tick() { m_lastTick = now(); }

private:
    static std::int64_t now()
    {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    void watch()
    {
        m_lastTick = now();
        std::int64_t stall = 0;      // the tick the current stall began at
        std::int64_t nextSample = 0; // how long into it the next stack is taken
        while (!m_stop) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            const std::int64_t last = m_lastTick;
            if (last != stall) {
                stall = last;
                nextSample = m_limitNs;
            }
            const std::int64_t waited = now() - last;
            if (waited > nextSample) {
                std::fprintf(stderr, "--- window thread silent for %lld ms\n",
                             static_cast<long long>(waited / 1000000));
                nextSample += 50000000; // then one every 50 ms while it lasts
                pthread_kill(m_window, SIGUSR2);
            }
        }
    }

    static void printStack(int)
    {
        void *frames[64];
        const int count = backtrace(frames, 64);
        backtrace_symbols_fd(frames, count, STDERR_FILENO);
    }

    std::int64_t m_limitNs = 0;
    pthread_t m_window{};
    std::atomic<std::int64_t> m_lastTick{0};
    std::atomic<bool> m_stop{false};
    std::thread m_watcher;
};
#else
class StallStacks
{
public:
    void tick() {}
};
#endif
