#pragma once

// In a program with a window, the threads that work in the background yield
// to the window's: each runs at a lower priority than the window's thread,
// so that the window gets a core at once however busy the others keep both.
// (A comparison on two threads of a two-core machine otherwise kept it
// waiting 100 ms and more.) The command line has no window, and leaves its
// threads as they are.

// Called once by the window's program, before any work starts.
void lowerBackgroundThreads();

// Called first by every task of a background pool: the calling thread takes
// the lower priority, once, when lowerBackgroundThreads() was called.
void asBackgroundThread();
