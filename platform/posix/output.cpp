#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/platform.h"
#include "platform/posix/error.h"
#include "platform/posix/write_all.h"

namespace rubo::platform {

namespace posix {

bool write_all(int descriptor, const void* data, std::size_t size) {
    // A reader that has gone away makes a failed write (EPIPE), answered as false like any
    // other, rather than a signal that ends the process in the middle of its work.
    static const bool pipe_signal_ignored = signal(SIGPIPE, SIG_IGN) != SIG_ERR;
    (void)pipe_signal_ignored;
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t written = write(descriptor, bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return fail_with_errno(written == 0 ? EIO : errno);
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace posix

bool write_standard_output(const void* data, std::size_t size) { return posix::write_all(STDOUT_FILENO, data, size); }

bool write_standard_error(const void* data, std::size_t size) { return posix::write_all(STDERR_FILENO, data, size); }

bool is_terminal(StandardStream stream) {
    return isatty(stream == STANDARD_OUTPUT ? STDOUT_FILENO : STDERR_FILENO) != 0;
}

bool output_discarded() {
    struct stat output, null_device;
    return fstat(STDOUT_FILENO, &output) == 0 && S_ISCHR(output.st_mode) && stat("/dev/null", &null_device) == 0 &&
           S_ISCHR(null_device.st_mode) && output.st_rdev == null_device.st_rdev;
}

}  // namespace rubo::platform
