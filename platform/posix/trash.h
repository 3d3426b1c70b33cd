#pragma once
// Moving a file to the trash that the desktop's file managers share (see trash_file_below
// in platform.h for where that trash lies and what it holds).

namespace rubo::platform::posix {

// Moves the entry `name` of the open directory `directory` to the trash; `path` is the
// entry's full path, whose directory part is recorded when the system cannot tell the
// directory's own path. False with the last error set, and the entry where it was.
bool move_to_trash(int directory, const char* path, const char* name);

}  // namespace rubo::platform::posix
