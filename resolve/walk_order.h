#pragma once
// Ordering a directory's matches by the last-write times of the files, for sorting a
// Vector of String paths: each routine receives the addresses of two slots that hold
// String pointers. Nothing is cached, so every comparison reads both files' times anew.
// A file whose time cannot be read counts as older than every other file.

#include "core/date_time.h"

namespace rubo {

// The file's last-write time in local time. False for a null target or a file that
// cannot be opened for reading or whose time cannot be read; the target is then left
// as it was.
bool file_write_time(const char* path, DateTime* target);

// Newer files first.
int compare_newest_first(const void* first, const void* second);
// Older files first.
int compare_oldest_first(const void* first, const void* second);

}  // namespace rubo
