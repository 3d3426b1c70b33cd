#pragma once
// Result codes of opening a block file, derived from the platform's error number right
// after a failed open, and a fixed English message for each.

#include <cstdint>

namespace rubo {

using OpenResult = std::int32_t;

inline constexpr OpenResult OPEN_OK = 0;
inline constexpr OpenResult OPEN_UNKNOWN_ERROR = 1;
inline constexpr OpenResult OPEN_INVALID_NAME = 2;
inline constexpr OpenResult OPEN_NOT_FOUND = 3;
inline constexpr OpenResult OPEN_NO_DIRECTORY = 4;
inline constexpr OpenResult OPEN_LOCKED = 5;
inline constexpr OpenResult OPEN_READ_FAILED = 6;
inline constexpr OpenResult OPEN_TOO_MANY_FILES = 7;
inline constexpr OpenResult OPEN_INVALID_PARAMETER = 8;
inline constexpr OpenResult OPEN_ALREADY_EXISTS = 9;

// The message of a code; every value without one of its own (1, negative ones, 10 and
// above) gives "An unknown error occurred.". The texts are static.
const char* open_result_text(OpenResult code);

// The code for a platform error number of a failed open: 2 not found, 3 no directory,
// 4 too many files, 32 locked, 80 already exists, 87 invalid parameter, 123 invalid
// name, anything else unknown.
OpenResult open_result_from_error(std::uint32_t error);

}  // namespace rubo
