// Removing a file below a directory through KERNEL32. Every directory on the way below
// the base is opened without following a reparse point and held, not sharing deletion,
// until the file is gone: while a handle is open the directory can be neither renamed
// nor removed, so no junction or link can take its place between the check and the
// removal. The base is taken as it stands, reparse points in its path followed, and held
// the same way, so that its identity can be compared with the directory a search read.

#include <windows.h>

#include "platform/directory_chain.h"
#include "platform/win32/directory_identity.h"
#include "platform/win32/system_text.h"

namespace rubo::platform {
namespace {

HeldHandle open_base(const std::string& base) {
    HANDLE handle = win32::hold_directory(base.c_str());
    return handle == INVALID_HANDLE_VALUE ? NO_HELD_HANDLE : reinterpret_cast<HeldHandle>(handle);
}

DirectoryIdentity identity_of(HeldHandle handle) { return win32::identity_of(reinterpret_cast<HANDLE>(handle)); }

void close_directory(HeldHandle handle) { CloseHandle(reinterpret_cast<HANDLE>(handle)); }

// Windows lets a process open handles until memory runs out; no count of its own limits
// how many directories stay held.
std::size_t levels_to_hold() { return 64; }

HeldHandle open_below(HeldHandle, const std::string& path, std::size_t) {
    WideText wide;
    if (!win32::system_path(path.c_str(), wide)) return NO_HELD_HANDLE;
    HANDLE handle = CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        // What is missing is a directory on the way.
        if (GetLastError() == ERROR_FILE_NOT_FOUND) SetLastError(ERROR_PATH_NOT_FOUND);
        return NO_HELD_HANDLE;
    }
    // The handle is asked first. The name is asked as well, once the handle holds the
    // entry in place: where opening the reparse point itself is not honoured, the handle
    // shows the link's target, while the name's attributes still show the link.
    BY_HANDLE_FILE_INFORMATION information;
    const bool read = GetFileInformationByHandle(handle, &information) != 0;
    const DWORD attributes = information.dwFileAttributes;
    const DWORD named = read ? GetFileAttributesW(wide.c_str()) : INVALID_FILE_ATTRIBUTES;
    const auto plain_directory = [](DWORD bits) {
        return (bits & FILE_ATTRIBUTE_DIRECTORY) != 0 && (bits & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
    };
    if (read && named != INVALID_FILE_ATTRIBUTES && plain_directory(attributes) && plain_directory(named))
        return reinterpret_cast<HeldHandle>(handle);
    const DWORD error = read ? ERROR_PATH_NOT_FOUND : GetLastError();
    CloseHandle(handle);
    SetLastError(error);
    return NO_HELD_HANDLE;
}

bool remove_file(HeldHandle, const char* path, const char*) {
    WideText wide;
    if (!win32::system_path(path, wide)) return false;
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    const bool read_only = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (read_only) SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if (DeleteFileW(wide.c_str())) return true;
    const DWORD error = GetLastError();
    if (read_only) SetFileAttributesW(wide.c_str(), attributes);
    SetLastError(error);
    return false;
}

bool is_separator(char c) { return c == '\\' || c == '/'; }
bool ends_base(char c) { return is_separator(c) || c == ':'; }

}  // namespace

const DirectoryOpeners directory_openers = {open_base,   identity_of,  open_below, close_directory,
                                            remove_file, is_separator, ends_base,  levels_to_hold};

}  // namespace rubo::platform
