#include "platform/win32/directory_identity.h"

#include <cstdint>
#include <string>

#include "platform/win32/system_text.h"

namespace rubo::platform::win32 {
namespace {

bool is_separator(WideChar c) { return c == L'\\' || c == L'/'; }

bool is_directory(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

bool is_reparse_point(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

// Whether a path is in the long or a device form ("\\?\..." or "\\.\..."), which the
// system takes as it stands.
bool long_or_device_form(const WideText& path) {
    return path.size() >= 4 && is_separator(path[0]) && is_separator(path[1]) && (path[2] == L'?' || path[2] == L'.') &&
           is_separator(path[3]);
}

// The directory at `path` opened to be held (with `flags` besides the one that lets a
// directory be opened) and what the system tells of it; INVALID_HANDLE_VALUE with the
// last error set when either fails, 3 for a missing directory.
HANDLE open_held(const WideText& path, DWORD flags, BY_HANDLE_FILE_INFORMATION& information) {
    HANDLE handle =
        CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND) SetLastError(ERROR_PATH_NOT_FOUND);
        return handle;
    }
    if (GetFileInformationByHandle(handle, &information) != 0) return handle;
    const DWORD error = GetLastError();
    CloseHandle(handle);
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

// Closes a handle that is not to be held, and answers INVALID_HANDLE_VALUE with `error`.
HANDLE refuse(HANDLE handle, DWORD error) {
    CloseHandle(handle);
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

}  // namespace

bool full_directory_path(const char* path, WideText& wide) {
    std::string directory(path != nullptr ? path : "");
    if (directory.empty() || directory.back() == ':') directory += '.';
    if (!system_path(directory.c_str(), wide)) return false;
    if (long_or_device_form(wide)) return true;
    const WideText relative = wide;
    WideText full;
    const auto read_full = [&relative](std::uint32_t room, wchar_t* text) {
        return GetFullPathNameW(relative.c_str(), room, text, nullptr);
    };
    return read_wide(read_full, full) && system_path(wtf8_from_wide(full.data(), full.size()).c_str(), wide);
}

HANDLE hold_directory(const WideText& path) {
    BY_HANDLE_FILE_INFORMATION information;
    HANDLE handle = open_held(path, 0, information);
    if (handle == INVALID_HANDLE_VALUE || is_directory(information.dwFileAttributes)) return handle;
    return refuse(handle, ERROR_PATH_NOT_FOUND);
}

HANDLE hold_directory(const char* path) {
    WideText wide;
    return full_directory_path(path, wide) ? hold_directory(wide) : INVALID_HANDLE_VALUE;
}

HANDLE hold_plain_directory(const WideText& path) {
    BY_HANDLE_FILE_INFORMATION information;
    HANDLE handle = open_held(path, FILE_FLAG_OPEN_REPARSE_POINT, information);
    if (handle == INVALID_HANDLE_VALUE) return handle;
    // The handle is asked first. The name is asked as well, once the handle holds the
    // entry in place: where opening the reparse point itself is not honoured (Wine, for a
    // link of the host system), the handle shows the link's target, while the name's
    // attributes still show the link.
    const DWORD named = GetFileAttributesW(path.c_str());
    if (named == INVALID_FILE_ATTRIBUTES) return refuse(handle, ERROR_PATH_NOT_FOUND);
    if (is_reparse_point(information.dwFileAttributes) || is_reparse_point(named))
        return refuse(handle, ERROR_CANT_RESOLVE_FILENAME);
    if (!is_directory(information.dwFileAttributes) || !is_directory(named))
        return refuse(handle, ERROR_PATH_NOT_FOUND);
    return handle;
}

DirectoryIdentity identity_of(HANDLE directory) {
    BY_HANDLE_FILE_INFORMATION information;
    DirectoryIdentity identity;
    if (GetFileInformationByHandle(directory, &information) == 0 || !is_directory(information.dwFileAttributes))
        return identity;
    identity.volume = information.dwVolumeSerialNumber;
    identity.file = (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow;
    identity.known = true;
    return identity;
}

}  // namespace rubo::platform::win32
