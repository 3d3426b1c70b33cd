#pragma once
// Worker threads that read the directories of a walk ahead of it: they read each
// directory the walk is about to enter and take the status of its matches, and the walk
// takes their results in its own order. Workers never print and never delete.

#include <cstdint>

namespace rubo {

// How many worker threads a walk starts: the count last set with set_read_ahead_workers,
// else RUBO_THREADS from the environment less one (it counts the walk's own thread, so 1
// gives a one-thread run), else one for each core, at most 8.
std::int32_t read_ahead_workers();
// Sets the count for the walks to come; a negative count goes back to the default.
void set_read_ahead_workers(std::int32_t count);

}  // namespace rubo
