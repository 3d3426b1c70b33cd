#pragma once
// Small pieces that both backends build their calls from.

#include <cstddef>
#include <cstdint>

namespace rubo::platform {

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

// Whether the arguments of delete_file_below hold up: a base of at least one byte that
// ends with a byte `ends_base` accepts or is followed by a separator, and after it names
// that are neither "." nor "..", the last of them not empty. Sets last error 87 for the
// base and 123 for the names when they do not.
bool path_below_valid(const char* path, std::size_t base_length, bool (*is_separator)(char), bool (*ends_base)(char));

// The length of the name that begins at `name` and ends at a separator or the end.
std::size_t name_length(const char* name, bool (*is_separator)(char));

}  // namespace rubo::platform
