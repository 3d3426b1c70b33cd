// Removing a file below a directory through KERNEL32. Every directory on the way below
// the base is opened without following a reparse point and held, not sharing deletion,
// until the file is gone: while a handle is open the directory can be neither renamed
// nor removed, so no junction or link can take its place between the check and the
// removal.

#include <windows.h>

#include <string>
#include <vector>

#include "platform/backend_helpers.h"
#include "platform/platform.h"

namespace platform {
namespace {

bool is_separator(char c) { return c == '\\' || c == '/'; }
bool ends_base(char c) { return is_separator(c) || c == ':'; }

class HeldDirectories {
public:
    HeldDirectories() = default;
    ~HeldDirectories() {
        for (HANDLE handle : handles_) CloseHandle(handle);
    }
    HeldDirectories(const HeldDirectories&) = delete;
    HeldDirectories& operator=(const HeldDirectories&) = delete;

    // Opens and keeps the directory; false (with the last error set) when it cannot be
    // opened or is no plain directory.
    bool hold(const std::string& directory) {
        HANDLE handle = CreateFileA(directory.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                    nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            // What is missing is a directory on the way.
            if (GetLastError() == ERROR_FILE_NOT_FOUND) SetLastError(ERROR_PATH_NOT_FOUND);
            return false;
        }
        handles_.push_back(handle);
        BY_HANDLE_FILE_INFORMATION information;
        if (!GetFileInformationByHandle(handle, &information)) return false;
        const DWORD attributes = information.dwFileAttributes;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            SetLastError(ERROR_PATH_NOT_FOUND);
            return false;
        }
        return true;
    }

private:
    std::vector<HANDLE> handles_;
};

}  // namespace

bool delete_file_below(const char* path, std::size_t base_length) {
    if (!path_given(path) || !path_below_valid(path, base_length, is_separator, ends_base)) return false;
    HeldDirectories held;
    for (const char* name = path + base_length;;) {
        while (is_separator(*name)) ++name;
        const std::size_t length = name_length(name, is_separator);
        if (name[length] == '\0') break;
        name += length;
        if (!held.hold(std::string(path, static_cast<std::size_t>(name - path)))) return false;
    }
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    const bool read_only = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (read_only) SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_READONLY);
    if (DeleteFileA(path)) return true;
    const DWORD error = GetLastError();
    if (read_only) SetFileAttributesA(path, attributes);
    SetLastError(error);
    return false;
}

}  // namespace platform
