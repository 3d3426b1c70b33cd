#include <unistd.h>

#include <cerrno>

#include "platform/platform.h"
#include "platform/posix/error.h"

namespace platform {

bool write_output(const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t written = write(STDOUT_FILENO, bytes, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            posix::record_errno(errno);
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace platform
