// Removing a file below a directory by descriptors: the directory is opened once by its
// path, every directory under it relative to the one above with O_NOFOLLOW, and the
// file is looked at, unmarked and removed relative to the last one.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

#include "platform/backend_helpers.h"
#include "platform/platform.h"
#include "platform/posix/error.h"

namespace platform {
namespace {

// A directory is opened only to look up names in it, which takes the right to search
// it, not to read it.
#ifdef O_PATH
constexpr int DIRECTORY_OPEN = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int DIRECTORY_OPEN = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

class Descriptor {
public:
    explicit Descriptor(int descriptor) : descriptor_(descriptor) {}
    ~Descriptor() {
        if (descriptor_ >= 0) close(descriptor_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor& operator=(Descriptor&& other) noexcept {
        std::swap(descriptor_, other.descriptor_);
        return *this;
    }
    int get() const { return descriptor_; }

private:
    int descriptor_;
};

bool is_slash(char c) { return c == '/'; }

// Records errno; `on_the_way` tells a missing directory (path not found) from a missing
// file.
bool fail(int error, bool on_the_way = false) {
    posix::record_errno(error, on_the_way);
    return false;
}

// Removes the entry `name` of the open directory. A read-only file gets its owner write
// bit back first and loses it again when the removal fails.
bool remove_entry(int directory, const char* name) {
    struct stat status;
    if (fstatat(directory, name, &status, AT_SYMLINK_NOFOLLOW) != 0) return fail(errno);
    if (S_ISDIR(status.st_mode)) return fail(EISDIR);
    const mode_t mode = status.st_mode & 07777;
    const bool read_only = !S_ISLNK(status.st_mode) && (mode & S_IWUSR) == 0;
    // Never through a link: where the system cannot promise that, the mark stays, which
    // does not stand in the way of the removal.
    if (read_only) fchmodat(directory, name, mode | S_IWUSR, AT_SYMLINK_NOFOLLOW);
    if (unlinkat(directory, name, 0) == 0) return true;
    const int error = errno;
    if (read_only) fchmodat(directory, name, mode, AT_SYMLINK_NOFOLLOW);
    return fail(error);
}

}  // namespace

bool delete_file_below(const char* path, std::size_t base_length) {
    if (!path_given(path) || !path_below_valid(path, base_length, is_slash, is_slash)) return false;
    Descriptor directory(open(std::string(path, base_length).c_str(), DIRECTORY_OPEN));
    if (directory.get() < 0) return fail(errno, true);
    for (const char* name = path + base_length;;) {
        while (*name == '/') ++name;
        const std::size_t length = name_length(name, is_slash);
        if (name[length] == '\0') return remove_entry(directory.get(), name);
        Descriptor below(openat(directory.get(), std::string(name, length).c_str(), DIRECTORY_OPEN | O_NOFOLLOW));
        if (below.get() < 0) return fail(errno, true);
        directory = std::move(below);
        name += length;
    }
}

}  // namespace platform
