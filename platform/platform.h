#pragma once
// The operating-system boundary. Everything above this folder reaches the OS only
// through these declarations; the backends live in posix/ and win32/.
//
// Error numbers are the Windows system error numbers on every platform (2 file not
// found, 3 path not found, 5 access denied, 32 sharing violation, ...), so callers can
// derive their own result codes from them wherever they run.

#include <cstddef>
#include <cstdint>

namespace platform {

using ErrorCode = std::uint32_t;

// The calling thread's last error number, set by the last failing platform call.
ErrorCode last_error();
void set_last_error(ErrorCode code);

// The system's message text for an error number, in storage that the platform
// allocates, or null when the system has no text for it. Release it with
// free_error_message.
char* error_message(ErrorCode code);
void free_error_message(char* message);

}  // namespace platform

namespace platform {

// Writes bytes to standard output as they stand (no line-end translation on any
// platform). False when the bytes could not all be written.
bool write_output(const void* data, std::size_t size);

}  // namespace platform
