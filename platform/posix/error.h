#pragma once
// Error numbers for the POSIX backend: every failing call records the original
// errno together with the Windows error number it stands for.

#include <cerrno>

#include "platform/platform.h"

namespace platform::posix {

// Records errno `error` as the thread's last error, mapped to its Windows number.
// `parent_missing` tells an ENOENT whose directory is missing (path not found) from one
// whose directory exists (file not found).
void record_errno(int error, bool parent_missing = false);

// Records errno `error` from a call on `path`. An ENOENT counts as path not found when
// the directory that would hold the path's last part is missing too.
void record_path_errno(int error, const char* path);

// The Windows error number that stands for an errno value.
ErrorCode windows_error_for(int error, bool parent_missing = false);

// For the calls whose failure is a false result: record errno `error` (by default the
// current errno), or errno from a call on `path`, and answer false.
bool fail_with_errno(int error = errno);
bool fail_with_path_errno(const char* path);

}  // namespace platform::posix
