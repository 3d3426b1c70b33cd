#pragma once
// What the POSIX backend reads about a file to answer attributes, times and sizes.

#include <fcntl.h>
#include <sys/types.h>

#include <cstdint>
#include <ctime>

#include "platform/platform.h"

namespace rubo::platform::posix {

// How a directory is opened only to look up names in it, which takes the right to search
// it, not to read it.
#ifdef O_PATH
constexpr int DIRECTORY_OPEN = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int DIRECTORY_OPEN = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

struct FileStatus {
    mode_t mode = 0;
    std::uint64_t size = 0;
    FileTime creation_time = 0;  // birth time where the kernel gives it, else the change time
    FileTime last_access_time = 0;
    FileTime last_write_time = 0;
};

// A POSIX time as a file time; times before 1601 become 0.
FileTime file_time_of(const timespec& time);

// The status of `name` relative to the directory `directory` (AT_FDCWD for the
// current one), without following a final symbolic link. False with errno set.
bool read_status(int directory, const char* name, FileStatus& status);

// The attribute bits for an entry with the given mode. A symbolic link is asked about
// its target once more, to tell whether it leads to a directory.
std::uint32_t attributes_of(int directory, const char* name, mode_t mode);

// Where a file sits among the mounted file systems, and which file it is there.
struct MountPlace {
    mode_t mode = 0;
    DirectoryIdentity identity;  // device and inode, and the mount's ID where the system gives one
};

// The place of `name` relative to the directory `directory`, without following a final
// symbolic link; an empty name asks about the directory itself. False with errno set.
bool read_mount_place(int directory, const char* name, MountPlace& place);

// Whether `inner`, found in the directory `outer`, belongs to another mount: its mount ID
// differs where both are known (a bind mount of the same file system included), else its
// device number.
bool crosses_mount(const MountPlace& outer, const MountPlace& inner);

}  // namespace rubo::platform::posix
