#include "platform/backend_helpers.h"

#include <cstring>

#include "platform/platform.h"

namespace rubo::platform {

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

std::size_t name_length(const char* name, bool (*is_separator)(char)) {
    std::size_t length = 0;
    while (name[length] != '\0' && !is_separator(name[length])) ++length;
    return length;
}

bool path_below_valid(const char* path, std::size_t base_length, bool (*is_separator)(char), bool (*ends_base)(char)) {
    const std::size_t length = std::strlen(path);
    if (!parameter_valid(base_length > 0 && base_length < length &&
                         (ends_base(path[base_length - 1]) || is_separator(path[base_length]))))
        return false;
    for (const char* name = path + base_length;;) {
        while (is_separator(*name)) ++name;
        const std::size_t size = name_length(name, is_separator);
        const bool dots = (size == 1 && name[0] == '.') || (size == 2 && name[0] == '.' && name[1] == '.');
        if (size == 0 || dots) {
            set_last_error(SYSTEM_ERROR_INVALID_NAME);
            return false;
        }
        if (name[size] == '\0') return true;
        name += size;
    }
}

}  // namespace rubo::platform
