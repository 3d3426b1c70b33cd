// Removing a file below a directory by handles. Every directory on the way below the
// base is opened relative to the one above it by its own name, without following a
// reparse point, and held, not sharing deletion, until the file is gone: while a handle
// is open the directory can be neither renamed nor removed, so no junction or link can
// take its place between the check and the removal. The file itself is opened relative
// to its directory's handle and removed through its own handle, so no path is looked up
// below the base. The base is taken as it stands, reparse points in its path followed,
// and held the same way, so that its identity can be compared with the directory a
// search read.

#include <string>

#include "platform/directory_chain.h"
#include "platform/win32/directory_identity.h"
#include "platform/win32/nt.h"
#include "platform/win32/trash.h"

namespace rubo::platform {
namespace {

HANDLE handle_of(HeldHandle handle) { return reinterpret_cast<HANDLE>(handle); }

HeldHandle held(HANDLE handle) {
    return handle == INVALID_HANDLE_VALUE ? NO_HELD_HANDLE : reinterpret_cast<HeldHandle>(handle);
}

HeldHandle open_base(const std::string& base) { return held(win32::hold_directory(base.c_str())); }

DirectoryIdentity identity_of(HeldHandle handle) { return win32::identity_of(handle_of(handle)); }

void close_directory(HeldHandle handle) { CloseHandle(handle_of(handle)); }

// Windows lets a process open handles until memory runs out; no count of its own limits
// how many directories stay held.
std::size_t levels_to_hold() { return 64; }

HeldHandle open_below(HeldHandle parent, const std::string& path, std::size_t name_offset) {
    WideText name;
    DirectoryIdentity identity;
    return win32::entry_name(path.c_str() + name_offset, name)
               ? held(win32::hold_plain_directory(handle_of(parent), name, identity))
               : NO_HELD_HANDLE;
}

// Whether a failed call only tells that the system (or the file system) does not know
// the kind of request it was given.
bool unsupported(DWORD error) {
    return error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION ||
           error == ERROR_CALL_NOT_IMPLEMENTED;
}

// Sets the attributes of an open file; 0 for none is given as FILE_ATTRIBUTE_NORMAL,
// since 0 would leave them as they are.
bool set_attributes(HANDLE file, DWORD attributes) {
    FILE_BASIC_INFO basic = {};
    basic.FileAttributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic) != 0;
}

// Marks an open file for removal. The name goes at once where the system can (POSIX
// semantics), read-only or not; where it cannot, the read-only mark is taken off first
// and given back when the removal is refused.
bool dispose(HANDLE file) {
    FILE_DISPOSITION_INFO_EX at_once = {FILE_DISPOSITION_FLAG_DELETE | FILE_DISPOSITION_FLAG_POSIX_SEMANTICS |
                                        FILE_DISPOSITION_FLAG_IGNORE_READONLY_ATTRIBUTE};
    if (SetFileInformationByHandle(file, win32::DISPOSITION_INFO_EX, &at_once, sizeof at_once)) return true;
    if (!unsupported(GetLastError())) return false;
    FILE_BASIC_INFO basic;
    if (!GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic)) return false;
    const DWORD attributes = basic.FileAttributes;
    const bool read_only = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (read_only && !set_attributes(file, attributes & ~FILE_ATTRIBUTE_READONLY)) return false;
    FILE_DISPOSITION_INFO on_close = {TRUE};
    if (SetFileInformationByHandle(file, FileDispositionInfo, &on_close, sizeof on_close)) return true;
    const DWORD error = GetLastError();
    if (read_only) set_attributes(file, attributes);
    SetLastError(error);
    return false;
}

// Removes the entry `name` of the directory `parent` through a handle of the entry
// itself, which shares everything as a removal by name does. A directory is refused (5).
bool remove_file(HeldHandle parent, const char*, const char* name) {
    WideText wide;
    if (!win32::entry_name(name, wide)) return false;
    HANDLE file = win32::open_file_entry(handle_of(parent), wide, DELETE);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool removed = dispose(file);
    const DWORD error = GetLastError();
    CloseHandle(file);
    SetLastError(error);
    return removed;
}

bool recycle_file(HeldHandle parent, const char* path, const char* name) {
    return win32::move_to_recycle_bin(handle_of(parent), path, name);
}

bool is_separator(char c) { return c == '\\' || c == '/'; }
bool ends_base(char c) { return is_separator(c) || c == ':'; }

}  // namespace

const DirectoryOpeners directory_openers = {open_base,    identity_of,  open_below, close_directory, remove_file,
                                            recycle_file, is_separator, ends_base,  levels_to_hold};

}  // namespace rubo::platform
