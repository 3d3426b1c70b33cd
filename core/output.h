#pragma once
// Standard output of the whole program, buffered: text is collected and handed to the
// platform in large writes, when the buffer fills, when flush_output is called (before
// every blocking key read) and at process exit.

#include <cstddef>

namespace rubo {

// Appends bytes to standard output. False once a write to the platform has failed;
// from then on nothing more is written.
bool buffer_output(const char* data, std::size_t size);
bool buffer_output(const char* text);

// Hands everything buffered to the platform. False when that write failed (now or before).
bool flush_output();

}  // namespace rubo
