#pragma once

#include <functional>

class QThreadPool;

// Runs first() on this thread and second() on `pool` at the same time, and
// returns once both have ended; what either throws reaches the caller then
// (first()'s when both throw). When no thread of the pool has taken
// second() by the time first() ends, this thread runs it: a pool whose
// threads all wait on work like this one still finishes.
void runBothAtOnce(const std::function<void()> &first, const std::function<void()> &second,
                   QThreadPool &pool);

// The same on the program's shared pool (QThreadPool::globalInstance()): for
// the core's engines, which split their work in two wherever they run.
void runBothAtOnce(const std::function<void()> &first, const std::function<void()> &second);
