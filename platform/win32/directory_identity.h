#pragma once
// Holding a directory while its identity is taken: the handle follows reparse points in
// the path (the directory is taken as it stands) and does not share deletion, so while it
// is open the directory can be neither renamed nor removed.

#include <windows.h>

#include "platform/platform.h"

namespace rubo::platform::win32 {

// The directory `path` held open, or INVALID_HANDLE_VALUE with the last error set. A path
// that ends in a drive's colon names that drive's current directory, an empty one the
// current directory.
HANDLE hold_directory(const char* path);

// The volume serial number and file ID of the directory behind a handle; not known when
// the system does not tell them.
DirectoryIdentity identity_of(HANDLE directory);

}  // namespace rubo::platform::win32
