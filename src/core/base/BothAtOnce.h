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

// The same on the engines' pool (enginePool()): for the core's engines,
// which split their work in two wherever they run.
void runBothAtOnce(const std::function<void()> &first, const std::function<void()> &second);

// The threads that run the second halves of the engines' work, one for each
// core. Not Qt's shared pool (QThreadPool::globalInstance()): Qt's painting
// splits some of its work onto that pool and waits for it, so a comparison
// running there made a repaint of the window wait for it (100 ms and more).
QThreadPool &enginePool();
