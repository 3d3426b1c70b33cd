#include "platform/backend_helpers.h"

#include <cstring>

#include "platform/platform.h"

namespace platform {

bool path_given(const char* path) {
    if (path != nullptr && path[0] != '\0') return true;
    set_last_error(SYSTEM_ERROR_PATH_NOT_FOUND);
    return false;
}

bool parameter_valid(bool valid) {
    if (!valid) set_last_error(SYSTEM_ERROR_INVALID_PARAMETER);
    return valid;
}

std::uint32_t answer_text(const char* text, std::size_t length, char* buffer, std::uint32_t size) {
    if (length >= UINT32_MAX) {
        set_last_error(SYSTEM_ERROR_NAME_TOO_LONG);
        return 0;
    }
    std::uint32_t needed = static_cast<std::uint32_t>(length) + 1;
    if (needed <= size && buffer != nullptr) {
        std::memcpy(buffer, text, length);
        buffer[length] = '\0';
    }
    return needed;
}

}  // namespace platform
