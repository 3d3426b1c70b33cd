#include "platform/posix/file_status.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef __linux__
#include <sys/sysmacros.h>
#endif

#include <atomic>
#include <cerrno>

namespace rubo::platform::posix {
namespace {

bool status_without_birth_time(int directory, const char* name, FileStatus& status) {
    struct stat found;
    if (fstatat(directory, name, &found, AT_SYMLINK_NOFOLLOW) != 0) return false;
    status.mode = found.st_mode;
    status.size = static_cast<std::uint64_t>(found.st_size);
    status.creation_time = file_time_of(found.st_ctim);
    status.last_access_time = file_time_of(found.st_atim);
    status.last_write_time = file_time_of(found.st_mtim);
    return true;
}

}  // namespace

FileTime file_time_of(const timespec& time) {
    std::int64_t seconds = static_cast<std::int64_t>(time.tv_sec) + EPOCH_DIFFERENCE;
    if (seconds < 0) return 0;
    return static_cast<FileTime>(seconds) * TICKS_PER_SECOND + static_cast<FileTime>(time.tv_nsec / 100);
}

bool read_status(int directory, const char* name, FileStatus& status) {
#ifdef STATX_BTIME
    // Kernels without statx, or sandboxes that forbid it, get the plain call from then on.
    static std::atomic<bool> statx_works{true};
    if (statx_works.load(std::memory_order_relaxed)) {
        struct statx found;
        if (statx(directory, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_BASIC_STATS | STATX_BTIME, &found) ==
            0) {
            auto time_of = [](const statx_timestamp& stamp) {
                return file_time_of(timespec{static_cast<time_t>(stamp.tv_sec), static_cast<long>(stamp.tv_nsec)});
            };
            status.mode = found.stx_mode;
            status.size = found.stx_size;
            status.creation_time = time_of((found.stx_mask & STATX_BTIME) != 0 ? found.stx_btime : found.stx_ctime);
            status.last_access_time = time_of(found.stx_atime);
            status.last_write_time = time_of(found.stx_mtime);
            return true;
        }
        if (errno != ENOSYS && errno != EPERM) return false;
        statx_works.store(false, std::memory_order_relaxed);
    }
#endif
    return status_without_birth_time(directory, name, status);
}

bool read_mount_place(int directory, const char* name, MountPlace& place) {
#ifdef STATX_MNT_ID
    const int follow = name[0] == '\0' ? AT_EMPTY_PATH : AT_SYMLINK_NOFOLLOW;
    struct statx found;
    if (statx(directory, name, follow | AT_NO_AUTOMOUNT, STATX_TYPE | STATX_INO | STATX_MNT_ID, &found) == 0) {
        place.mode = found.stx_mode;
        place.identity.mount = found.stx_mnt_id;
        place.identity.mount_known = (found.stx_mask & STATX_MNT_ID) != 0;
        place.identity.volume = makedev(found.stx_dev_major, found.stx_dev_minor);
        place.identity.file = found.stx_ino;
        place.identity.known = true;
        return true;
    }
    if (errno != ENOSYS && errno != EPERM) return false;
#endif
    struct stat status;
    if ((name[0] == '\0' ? fstat(directory, &status) : fstatat(directory, name, &status, AT_SYMLINK_NOFOLLOW)) != 0)
        return false;
    place.mode = status.st_mode;
    place.identity.mount_known = false;
    place.identity.volume = status.st_dev;
    place.identity.file = status.st_ino;
    place.identity.known = true;
    return true;
}

bool crosses_mount(const MountPlace& outer, const MountPlace& inner) {
    if (outer.identity.mount_known && inner.identity.mount_known) return outer.identity.mount != inner.identity.mount;
    return outer.identity.volume != inner.identity.volume;
}

std::uint32_t attributes_of(int directory, const char* name, mode_t mode) {
    std::uint32_t attributes;
    if (S_ISLNK(mode)) {
        attributes = ATTRIBUTE_REPARSE_POINT;
        struct stat target;
        if (fstatat(directory, name, &target, 0) == 0 && S_ISDIR(target.st_mode)) attributes |= ATTRIBUTE_DIRECTORY;
    } else {
        attributes = S_ISDIR(mode) ? ATTRIBUTE_DIRECTORY : ATTRIBUTE_ARCHIVE;
    }
    if ((mode & S_IWUSR) == 0) attributes |= ATTRIBUTE_READ_ONLY;
    return attributes;
}

}  // namespace rubo::platform::posix
