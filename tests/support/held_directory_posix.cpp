#ifndef _WIN32
#include "tests/support/held_directory.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#ifdef __linux__
#include <linux/fs.h>
#endif

namespace rubo::test {
namespace {

// Whether an entry can be made in the directory; the probe is removed again.
bool entries_can_change(const std::string& path) {
    const std::string probe = path + "/held-probe";
    const int file = open(probe.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0600);
    if (file < 0) return false;
    close(file);
    unlink(probe.c_str());
    return true;
}

bool set_immutable([[maybe_unused]] const std::string& path, [[maybe_unused]] bool immutable) {
#ifdef FS_IOC_SETFLAGS
    const int directory = open(path.c_str(), O_RDONLY | O_DIRECTORY);
    if (directory < 0) return false;
    int flags = 0;
    bool done = ioctl(directory, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = immutable ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        done = ioctl(directory, FS_IOC_SETFLAGS, &flags) == 0;
    }
    close(directory);
    return done;
#else
    return false;
#endif
}

}  // namespace

HeldDirectory::HeldDirectory(std::string path) : path_(std::move(path)) {
    struct stat status;
    if (stat(path_.c_str(), &status) != 0) return;
    mode_ = status.st_mode & 07777;
    released_ = false;
    chmod(path_.c_str(), mode_ & ~static_cast<mode_t>(0222));
    if (entries_can_change(path_)) immutable_ = set_immutable(path_, true);
    held_ = !entries_can_change(path_);
}

void HeldDirectory::release() {
    if (released_) return;
    released_ = true;
    if (immutable_) set_immutable(path_, false);
    chmod(path_.c_str(), mode_);
}

}  // namespace rubo::test
#endif
