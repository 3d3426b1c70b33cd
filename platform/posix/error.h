#pragma once
// Error numbers for the POSIX backend: every failing call records the original
// errno together with the Windows error number it stands for.

#include <cerrno>

#include "platform/platform.h"

namespace rubo::platform::posix {

// What an ENOENT stands for: a missing file in a directory that exists (file not
// found), or a missing directory on the way (path not found).
enum class Missing : bool { FILE, PATH };

// Records errno `error` as the thread's last error, mapped to its Windows number; an
// ENOENT as `missing` says.
void record_errno(int error, Missing missing = Missing::FILE);

// Records errno `error` from a call on `path`. An ENOENT counts as path not found when
// the directory that would hold the path's last part is missing too.
void record_path_errno(int error, const char* path);

// The Windows error number that stands for an errno value.
ErrorCode windows_error_for(int error, Missing missing = Missing::FILE);

// For the calls whose failure is a false result: record errno `error` (by default the
// current errno), or errno from a call on `path`, and answer false.
bool fail_with_errno(int error = errno);
bool fail_with_path_errno(const char* path);

}  // namespace rubo::platform::posix
