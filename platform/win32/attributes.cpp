#include <windows.h>

#include "platform/backend_helpers.h"
#include "platform/platform.h"

namespace platform {

std::uint32_t get_file_attributes(const char* path) {
    if (!path_given(path)) return ATTRIBUTES_INVALID;
    return GetFileAttributesA(path);
}

bool set_file_attributes(const char* path, std::uint32_t attributes) {
    return path_given(path) && SetFileAttributesA(path, attributes) != 0;
}

bool delete_file(const char* path) { return path_given(path) && DeleteFileA(path) != 0; }

}  // namespace platform
