#pragma once
// Holding directories open, and opening the entries of a held directory relative to its
// handle. A held directory's handle may list it and open what it holds, and does not
// share deletion, so while it is open the directory can be neither renamed nor removed
// (a handle that only reads attributes would take no part in sharing and hold nothing).

#include "platform/win32/nt.h"

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

// Whether `name` names one entry of a directory and nothing but that (no separator, no
// stream after a colon, neither "." nor ".."), and it in UTF-16; else false with last
// error 123.
bool entry_name(const char* name, WideText& wide);

// The entry `name` (see entry_name) of the directory held by `parent`, opened relative
// to that handle, never through a reparse point: the entry itself is opened with
// `access` (SYNCHRONIZE added) and `sharing`, `options` (FILE_DIRECTORY_FILE or
// FILE_NON_DIRECTORY_FILE) added to FILE_OPEN_REPARSE_POINT and synchronous access.
// INVALID_HANDLE_VALUE with the system's error when it cannot be opened, and with 1921
// for a link where the system would open what the link leads to instead (Wine, for a
// link of the host system).
HANDLE open_entry(HANDLE parent, const WideText& name, ACCESS_MASK access, ULONG sharing, ULONG options);

// The entry `name` of `parent` opened as a file (a directory is refused), sharing
// everything, with `access` and the right to read its attributes, and to change them
// where this user may.
HANDLE open_file_entry(HANDLE parent, const WideText& name, ACCESS_MASK access);

// The directory `name` of the directory held by `parent`, held open when it is a plain
// directory, no reparse point, with its identity; else INVALID_HANDLE_VALUE with the
// last error set: 1921 for a reparse point, 3 when it is missing or is no directory.
HANDLE hold_plain_directory(HANDLE parent, const WideText& name, DirectoryIdentity& identity);

// The volume serial number and file ID of the directory behind a handle; not known when
// the system does not tell them.
DirectoryIdentity identity_of(HANDLE directory);

}  // namespace rubo::platform::win32
