#pragma once
// Holding directories open. A held directory's handle may list it and does not share
// deletion, so while it is open the directory can be neither renamed nor removed (a
// handle that only reads attributes would take no part in sharing and hold nothing).

#include <windows.h>

#include "platform/platform.h"
#include "platform/wtf8.h"

namespace rubo::platform::win32 {

// The full path of the directory `path` as the system is to take it (see system_path):
// an empty path names the current directory, one that ends in a drive's colon that
// drive's current directory, and a relative one is made absolute against them.
bool full_directory_path(const char* path, WideText& wide);

// The directory at a full path held open as it stands, reparse points in the path
// followed, or INVALID_HANDLE_VALUE with the last error set: 3 when it is missing or is
// no directory.
HANDLE hold_directory(const WideText& path);
HANDLE hold_directory(const char* path);  // the path as full_directory_path takes it

// The directory at a full path held open when it is a plain directory, its last name no
// reparse point; else INVALID_HANDLE_VALUE with the last error set: 1921 for a reparse
// point, 3 when it is missing or is no directory.
HANDLE hold_plain_directory(const WideText& path);

// The volume serial number and file ID of the directory behind a handle; not known when
// the system does not tell them.
DirectoryIdentity identity_of(HANDLE directory);

}  // namespace rubo::platform::win32
