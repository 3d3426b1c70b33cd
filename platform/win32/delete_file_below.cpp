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

HeldHandle held(HANDLE handle) {
    return handle == INVALID_HANDLE_VALUE ? NO_HELD_HANDLE : reinterpret_cast<HeldHandle>(handle);
}

HeldHandle open_base(const std::string& base) { return held(win32::hold_directory(base.c_str())); }

DirectoryIdentity identity_of(HeldHandle handle) { return win32::identity_of(reinterpret_cast<HANDLE>(handle)); }

void close_directory(HeldHandle handle) { CloseHandle(reinterpret_cast<HANDLE>(handle)); }

// Windows lets a process open handles until memory runs out; no count of its own limits
// how many directories stay held.
std::size_t levels_to_hold() { return 64; }

HeldHandle open_below(HeldHandle, const std::string& path, std::size_t) {
    WideText wide;
    return win32::system_path(path.c_str(), wide) ? held(win32::hold_plain_directory(wide)) : NO_HELD_HANDLE;
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
