#include <windows.h>

#include "platform/platform.h"

namespace platform {

namespace {

bool write_all(DWORD handle_number, const void* data, std::size_t size) {
    HANDLE out = GetStdHandle(handle_number);
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

bool write_output(const void* data, std::size_t size) { return write_all(STD_OUTPUT_HANDLE, data, size); }

bool write_error_output(const void* data, std::size_t size) { return write_all(STD_ERROR_HANDLE, data, size); }

// The null device cannot be told from other character devices here, some of which can
// fail; so no output counts as thrown away.
bool output_discarded() { return false; }

}  // namespace platform
