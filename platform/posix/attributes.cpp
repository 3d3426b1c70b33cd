#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/backend_helpers.h"
#include "platform/platform.h"
#include "platform/posix/error.h"
#include "platform/posix/file_status.h"

namespace rubo::platform {
namespace {

constexpr mode_t WRITE_BITS = S_IWUSR | S_IWGRP | S_IWOTH;

// Changes the mode of a file that is not a symbolic link. Where the system cannot
// refuse to follow a link in the call itself, a link found there is left alone.
bool change_mode_of_file(const char* path, mode_t mode) {
    if (fchmodat(AT_FDCWD, path, mode, AT_SYMLINK_NOFOLLOW) == 0) return true;
    if (errno != EOPNOTSUPP && errno != ENOTSUP) return false;
    struct stat status;
    if (lstat(path, &status) != 0) return false;
    return S_ISLNK(status.st_mode) || chmod(path, mode) == 0;
}

}  // namespace

FileAttributes get_file_attributes(const char* path) {
    if (!path_given(path)) return ATTRIBUTES_INVALID;
    struct stat status;
    if (fstatat(AT_FDCWD, path, &status, AT_SYMLINK_NOFOLLOW) != 0) {
        posix::record_path_errno(errno, path);
        return ATTRIBUTES_INVALID;
    }
    return posix::attributes_of(AT_FDCWD, path, status.st_mode);
}

bool set_file_attributes(const char* path, FileAttributes attributes) {
    if (!path_given(path)) return false;
    struct stat status;
    if (fstatat(AT_FDCWD, path, &status, AT_SYMLINK_NOFOLLOW) != 0) return posix::fail_with_path_errno(path);
    if (S_ISLNK(status.st_mode)) return true;
    mode_t mode = status.st_mode & 07777;
    mode_t wanted = (attributes & ATTRIBUTE_READ_ONLY) != 0 ? mode & ~WRITE_BITS : mode | S_IWUSR;
    return wanted == mode || change_mode_of_file(path, wanted) || posix::fail_with_path_errno(path);
}

bool delete_file(const char* path) {
    if (!path_given(path)) return false;
    return unlink(path) == 0 || posix::fail_with_path_errno(path);
}

}  // namespace rubo::platform
