#include <windows.h>

#include "platform/platform.h"

namespace platform {

namespace {

HANDLE handle_of(StandardStream stream) {
    return GetStdHandle(stream == STANDARD_OUTPUT ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

bool write_all(HANDLE out, const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        DWORD chunk = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(out, bytes, chunk, &written, nullptr) || written == 0) return false;
        bytes += written;
        size -= written;
    }
    return true;
}

}  // namespace

bool write_output(const void* data, std::size_t size) { return write_all(handle_of(STANDARD_OUTPUT), data, size); }

bool write_error(const void* data, std::size_t size) { return write_all(handle_of(STANDARD_ERROR), data, size); }

bool is_terminal(StandardStream stream) {
    DWORD mode;
    return GetConsoleMode(handle_of(stream), &mode) != 0;
}

// The null device cannot be told from other character devices here, some of which can
// fail; so no output counts as thrown away.
bool output_discarded() { return false; }

}  // namespace platform
