// Removing a file below a directory by descriptors: the base directory is opened by its
// path, every directory under it relative to the one above with O_NOFOLLOW, and the file
// is removed relative to the last one, so no full path is looked up after the first step.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/directory_chain.h"
#include "platform/posix/error.h"
#include "platform/posix/file_status.h"
#include "platform/posix/trash.h"

namespace rubo::platform {
namespace {

// The descriptor, or NO_HELD_HANDLE with the error recorded as a directory missing on
// the way.
HeldHandle opened(int descriptor) {
    if (descriptor >= 0) return descriptor;
    posix::record_errno(errno, posix::Missing::PATH);
    return NO_HELD_HANDLE;
}

HeldHandle open_base(const std::string& base) { return opened(open(base.c_str(), posix::DIRECTORY_OPEN)); }

HeldHandle open_below(HeldHandle parent, const std::string& path, std::size_t name_offset) {
    return opened(openat(static_cast<int>(parent), path.c_str() + name_offset, posix::DIRECTORY_OPEN | O_NOFOLLOW));
}

DirectoryIdentity identity_of(HeldHandle handle) {
    posix::MountPlace place;
    return posix::read_mount_place(static_cast<int>(handle), "", place) ? place.identity : DirectoryIdentity{};
}

void close_directory(HeldHandle handle) { close(static_cast<int>(handle)); }

// At most 64 levels, and at most half of what the descriptor limit leaves once the
// standard streams and a few more for the rest of the process are counted.
std::size_t levels_to_hold() {
    constexpr rlim_t most = 64;
    constexpr rlim_t spared = 16;
    rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return most;
    return static_cast<std::size_t>(std::min(most, limit.rlim_cur > spared ? (limit.rlim_cur - spared) / 2 : 0));
}

// Removes the entry `name` of the open directory. The read-only mark does not stand in
// the way of a removal here, so it is only looked at when the removal fails: a read-only
// file then gets its owner write bit back for one more try, and loses it again when that
// fails too. Never through a link: where the system cannot promise that, the mark stays.
bool remove_entry(HeldHandle parent, const char*, const char* name) {
    const int directory = static_cast<int>(parent);
    if (unlinkat(directory, name, 0) == 0) return true;
    const int error = errno;
    struct stat status;
    if (fstatat(directory, name, &status, AT_SYMLINK_NOFOLLOW) != 0) return posix::fail_with_errno(error);
    if (S_ISDIR(status.st_mode)) return posix::fail_with_errno(EISDIR);
    const mode_t mode = status.st_mode & 07777;
    if (S_ISLNK(status.st_mode) || (mode & S_IWUSR) != 0) return posix::fail_with_errno(error);
    if (fchmodat(directory, name, mode | S_IWUSR, AT_SYMLINK_NOFOLLOW) != 0) return posix::fail_with_errno(error);
    if (unlinkat(directory, name, 0) == 0) return true;
    const int second_error = errno;
    fchmodat(directory, name, mode, AT_SYMLINK_NOFOLLOW);
    return posix::fail_with_errno(second_error);
}

bool trash_entry(HeldHandle parent, const char* path, const char* name) {
    return posix::move_to_trash(static_cast<int>(parent), path, name);
}

bool is_slash(char c) { return c == '/'; }

}  // namespace

const DirectoryOpeners directory_openers = {open_base,   identity_of, open_below, close_directory, remove_entry,
                                            trash_entry, is_slash,    is_slash,   levels_to_hold};

}  // namespace rubo::platform
