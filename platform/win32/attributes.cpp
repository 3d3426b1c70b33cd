#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/system_text.h"

namespace rubo::platform {

using win32::system_path;

FileAttributes get_file_attributes(const char* path) {
    WideText wide;
    if (!system_path(path, wide)) return ATTRIBUTES_INVALID;
    return GetFileAttributesW(wide.c_str());
}

bool set_file_attributes(const char* path, FileAttributes attributes) {
    WideText wide;
    return system_path(path, wide) && SetFileAttributesW(wide.c_str(), attributes) != 0;
}

bool delete_file(const char* path) {
    WideText wide;
    return system_path(path, wide) && DeleteFileW(wide.c_str()) != 0;
}

}  // namespace rubo::platform
