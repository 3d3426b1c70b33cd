#pragma once
// Error numbers for the POSIX backend: every failing call records the original
// errno together with the Windows error number it stands for.

#include "platform/platform.h"

namespace platform::posix {

// Records errno `error` as the thread's last error, mapped to its Windows number.
// `parent_missing` tells an ENOENT whose directory is missing (path not found, 3)
// from one whose directory exists (file not found, 2).
void record_errno(int error, bool parent_missing = false);

// Records errno `error` from a call on `path`. An ENOENT counts as path not found (3)
// when the directory that would hold the path's last part is missing too.
void record_path_errno(int error, const char* path);

// The Windows error number that stands for an errno value.
ErrorCode windows_error_for(int error, bool parent_missing = false);

}  // namespace platform::posix
