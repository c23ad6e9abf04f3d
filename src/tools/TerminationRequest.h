// The flag a stop signal's handler sets for the tool runner.
#pragma once

#include <atomic>

// Set the moment the program is asked to stop by a signal (Ctrl+C, SIGTERM, a closed
// terminal), from the signal handler itself: a child that the same signal reached first has
// then been stopped, not failed. Never cleared by the program.
inline std::atomic<bool> terminationRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
