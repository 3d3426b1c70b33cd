#pragma once
// Small pieces that both backends build their calls from.

#include <cstddef>
#include <cstdint>

namespace platform {

// A letter A-Z as its lower-case form; every other byte as it is.
constexpr char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

// True for a path that names something; for a null or empty path sets last error 3
// and answers false, so that the call fails without reaching the OS.
bool path_given(const char* path);

// Answers `valid`; when it is false, sets last error 87 (invalid parameter) first.
bool parameter_valid(bool valid);

// Answers `length` bytes of `text` by the text-answer protocol of platform.h: copies
// them with a terminator when they fit in `size` bytes, and returns the size needed.
std::uint32_t answer_text(const char* text, std::size_t length, char* buffer, std::uint32_t size);

}  // namespace platform
