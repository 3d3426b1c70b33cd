// File handles on POSIX systems, with Windows' sharing modes carried across processes.
//
// Sharing scheme. Every handle of this layer that has data access describes itself
// with shared open-file-description locks (F_OFD_SETLK, F_RDLCK) on four bytes far
// past any real data, at SHARING_BASE + 0 ... 3:
//
//   READERS          held by every handle that may read
//   WRITERS          held by every handle that may write
//   DENIES_READERS   held by every handle that does not share reading
//   DENIES_WRITERS   held by every handle that does not share writing
//
// Shared locks never collide with each other, so placing them always succeeds. A new
// handle places its own locks first and then looks (F_OFD_GETLK with an exclusive
// lock) for the locks of other handles that it collides with: DENIES_READERS when it
// reads, DENIES_WRITERS when it writes, READERS when it does not share reading,
// WRITERS when it does not share writing. If any is held by another open file
// description, of this process or another, the open fails with a sharing violation
// (32) and closing the descriptor drops what it placed. Because every handle places
// before it looks, of two colliding opens at least the later one sees the other:
// two opens racing each other may both fail, but never both succeed.
//
// The locks belong to the open file description, so they live exactly as long as the
// handle and go away with it however the process ends. A shared lock needs a
// descriptor open for reading; a handle that is to write only is therefore opened for
// reading and writing where the file's permissions allow (else it only looks).
// Systems or file systems without these locks open files without sharing checks.
// Removing a file does not look at the scheme: POSIX lets an open file be removed.
//
// Region locks asked for by callers are exclusive locks (shared on a descriptor that
// cannot write) and must end at or below SHARING_BASE, so they never touch the bytes
// of the scheme.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/backend_helpers.h"
#include "platform/platform.h"
#include "platform/posix/error.h"
#include "platform/posix/file_status.h"

namespace rubo::platform {
namespace {

constexpr off_t SHARING_BASE = INT64_MAX - 255;
enum SharingByte : off_t { READERS = 0, WRITERS = 1, DENIES_READERS = 2, DENIES_WRITERS = 3 };

struct flock region(short type, off_t start, off_t length) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = start;
    lock.l_len = length;
    return lock;
}

#ifdef F_OFD_SETLK

bool place_sharing_lock(int file, SharingByte byte) {
    struct flock lock = region(F_RDLCK, SHARING_BASE + byte, 1);
    return fcntl(file, F_OFD_SETLK, &lock) == 0;
}

bool held_elsewhere(int file, SharingByte byte) {
    struct flock lock = region(F_WRLCK, SHARING_BASE + byte, 1);
    return fcntl(file, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
}

// Places this handle's locks (when it can) and answers whether it may stay open.
bool join_sharing(int file, std::uint32_t access, std::uint32_t sharing, bool can_place) {
    bool reads = (access & ACCESS_READ_DATA) != 0, writes = (access & ACCESS_WRITE_DATA) != 0;
    bool denies_readers = (sharing & SHARE_READERS) == 0, denies_writers = (sharing & SHARE_WRITERS) == 0;
    if (!reads && !writes) return true;
    if (can_place) {
        struct {
            bool wanted;
            SharingByte byte;
        } const own[] = {
            {reads, READERS}, {writes, WRITERS}, {denies_readers, DENIES_READERS}, {denies_writers, DENIES_WRITERS}};
        for (const auto& lock : own)
            if (lock.wanted && !place_sharing_lock(file, lock.byte)) return true;  // no such locks here
    }
    return !(reads && held_elsewhere(file, DENIES_READERS)) && !(writes && held_elsewhere(file, DENIES_WRITERS)) &&
           !(denies_readers && held_elsewhere(file, READERS)) && !(denies_writers && held_elsewhere(file, WRITERS));
}

constexpr int SET_REGION_LOCK = F_OFD_SETLK;

#else

bool join_sharing(int, std::uint32_t, std::uint32_t, bool) { return true; }

constexpr int SET_REGION_LOCK = F_SETLK;

#endif

int descriptor_of(FileHandle file) { return static_cast<int>(file); }

bool handle_given(FileHandle file) {
    if (file >= 0 && file <= INT32_MAX) return true;
    set_last_error(SYSTEM_ERROR_INVALID_HANDLE);
    return false;
}

// A region that callers may lock: not empty and clear of the sharing bytes.
bool lockable(std::uint64_t offset, std::uint64_t length) {
    constexpr auto end = static_cast<std::uint64_t>(SHARING_BASE);
    return parameter_valid(length > 0 && offset <= end && length <= end - offset);
}

bool change_region_lock(FileHandle file, short type, std::uint64_t offset, std::uint64_t length) {
    if (!handle_given(file) || !lockable(offset, length)) return false;
    struct flock lock = region(type, static_cast<off_t>(offset), static_cast<off_t>(length));
    if (fcntl(descriptor_of(file), SET_REGION_LOCK, &lock) == 0) return true;
    if (errno == EAGAIN || errno == EACCES) {
        set_last_error(SYSTEM_ERROR_LOCK_VIOLATION);
        return false;
    }
    return posix::fail_with_errno();
}

}  // namespace

FileHandle open_file(const char* path, FileAccess access, FileSharing sharing, Disposition disposition,
                     FileAttributes attributes) {
    if (!path_given(path) || !parameter_valid(disposition <= DISPOSITION_CREATE_OR_REPLACE)) return NO_FILE;
    static constexpr int creation[] = {O_CREAT, 0, O_CREAT | O_EXCL, O_CREAT};
    bool replaces = disposition == DISPOSITION_CREATE_OR_REPLACE;
    bool writes = (access & ACCESS_WRITE_DATA) != 0 || replaces;
    int flags = creation[disposition] | O_CLOEXEC | O_NOCTTY | (writes ? O_RDWR : O_RDONLY);
    mode_t mode = (attributes & ATTRIBUTE_READ_ONLY) != 0 ? 0444 : 0666;

    int file = open(path, flags, mode);
    bool can_place = true;
    if (file < 0 && errno == EACCES && access == ACCESS_WRITE_DATA && !replaces) {
        file = open(path, (flags & ~O_RDWR) | O_WRONLY, mode);
        can_place = false;
    }
    if (file < 0) {
        posix::record_path_errno(errno, path);
        return NO_FILE;
    }
    struct stat status;
    ErrorCode refusal = 0;
    if (fstat(file, &status) == 0 && S_ISDIR(status.st_mode))
        refusal = SYSTEM_ERROR_ACCESS_DENIED;
    else if (!join_sharing(file, access, sharing, can_place))
        refusal = SYSTEM_ERROR_SHARING_VIOLATION;
    else if (replaces && ftruncate(file, 0) != 0)
        posix::record_errno(errno);
    else
        return file;
    if (refusal != 0) set_last_error(refusal);
    close(file);
    return NO_FILE;
}

bool close_file(FileHandle file) {
    if (!handle_given(file)) return false;
    // Even an interrupted close has released the descriptor on the systems we serve.
    return close(descriptor_of(file)) == 0 || errno == EINTR || posix::fail_with_errno();
}

bool read_file(FileHandle file, void* buffer, std::uint32_t size, std::uint32_t& done) {
    done = 0;
    if (!handle_given(file)) return false;
    while (done < size) {
        ssize_t got = read(descriptor_of(file), static_cast<char*>(buffer) + done, size - done);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            return posix::fail_with_errno();
        }
        done += static_cast<std::uint32_t>(got);
    }
    return true;
}

bool write_file(FileHandle file, const void* data, std::uint32_t size, std::uint32_t& done) {
    done = 0;
    if (!handle_given(file)) return false;
    while (done < size) {
        ssize_t put = write(descriptor_of(file), static_cast<const char*>(data) + done, size - done);
        if (put < 0) {
            if (errno == EINTR) continue;
            return posix::fail_with_errno();
        }
        done += static_cast<std::uint32_t>(put);
    }
    return true;
}

std::int64_t seek_file(FileHandle file, std::int64_t offset, SeekOrigin origin) {
    if (!handle_given(file) || !parameter_valid(origin <= SEEK_FROM_END)) return -1;
    static constexpr int whence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
    off_t position = lseek(descriptor_of(file), static_cast<off_t>(offset), whence[origin]);
    if (position >= 0) return position;
    // With a valid origin, lseek only refuses a position before the start.
    if (errno == EINVAL)
        set_last_error(SYSTEM_ERROR_NEGATIVE_SEEK);
    else
        posix::record_errno(errno);
    return -1;
}

bool set_end_of_file(FileHandle file) {
    if (!handle_given(file)) return false;
    off_t position = lseek(descriptor_of(file), 0, SEEK_CUR);
    return (position >= 0 && ftruncate(descriptor_of(file), position) == 0) || posix::fail_with_errno();
}

bool flush_file(FileHandle file) {
    if (!handle_given(file)) return false;
    return fsync(descriptor_of(file)) == 0 || posix::fail_with_errno();
}

bool get_last_write_time(FileHandle file, FileTime& time) {
    if (!handle_given(file)) return false;
    struct stat status;
    if (fstat(descriptor_of(file), &status) != 0) return posix::fail_with_errno();
    time = posix::file_time_of(status.st_mtim);
    return true;
}

bool lock_file_region(FileHandle file, std::uint64_t offset, std::uint64_t length) {
    if (!handle_given(file)) return false;
    int mode = fcntl(descriptor_of(file), F_GETFL);
    if (mode < 0) return posix::fail_with_errno();
    return change_region_lock(file, (mode & O_ACCMODE) == O_RDONLY ? F_RDLCK : F_WRLCK, offset, length);
}

bool unlock_file_region(FileHandle file, std::uint64_t offset, std::uint64_t length) {
    return change_region_lock(file, F_UNLCK, offset, length);
}

}  // namespace rubo::platform
