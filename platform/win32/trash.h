#pragma once
// Moving a file to the Recycle Bin (see trash_file_below in platform.h).

#include "platform/win32/nt.h"

namespace rubo::platform::win32 {

// Moves the entry `name` of the directory held by `parent` to the Recycle Bin; `path` is
// the entry's full path, which the shell takes. False with the last error set, and the
// entry where it was (with its data, also where the shell would have destroyed it).
bool move_to_recycle_bin(HANDLE parent, const char* path, const char* name);

}  // namespace rubo::platform::win32
