#include "platform/win32/directory_identity.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

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

// What a held directory's handle may do: list the directory, open what it holds, tell
// what it is. It shares reading and writing, not deletion.
constexpr ACCESS_MASK HOLDING_ACCESS = FILE_LIST_DIRECTORY | FILE_TRAVERSE | SYNCHRONIZE | FILE_READ_ATTRIBUTES;
constexpr ULONG HOLDING_SHARING = FILE_SHARE_READ | FILE_SHARE_WRITE;

// `handle`, opened to be held, when the system tells what it is; else INVALID_HANDLE_VALUE
// with the last error set, 3 for a missing directory (or, `missing_file`, any entry).
HANDLE with_information(HANDLE handle, DWORD missing_file, BY_HANDLE_FILE_INFORMATION& information) {
    if (handle == INVALID_HANDLE_VALUE) {
        if (GetLastError() == missing_file) SetLastError(ERROR_PATH_NOT_FOUND);
        return handle;
    }
    if (GetFileInformationByHandle(handle, &information) != 0) return handle;
    const DWORD error = GetLastError();
    CloseHandle(handle);
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

DirectoryIdentity identity_from(const BY_HANDLE_FILE_INFORMATION& information) {
    DirectoryIdentity identity;
    identity.volume = information.dwVolumeSerialNumber;
    identity.file = (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow;
    identity.known = true;
    return identity;
}

// Whether the system opens what a link leads to even when asked for the entry itself:
// Wine does so for a link of the host system, and the handle then shows neither the
// link's attributes nor its name, but its target's.
bool links_followed_anyway() {
    static const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
}

// The path of what `handle` holds on its volume ("\dir\name"); empty when the system
// does not tell it.
WideText name_of(HANDLE handle) {
    std::vector<DWORD> answer((sizeof(DWORD) + 32768 * sizeof(wchar_t)) / sizeof(DWORD));
    auto& information = *reinterpret_cast<FILE_NAME_INFO*>(answer.data());
    const auto size = static_cast<DWORD>(answer.size() * sizeof(DWORD));
    if (!GetFileInformationByHandleEx(handle, FileNameInfo, &information, size)) return {};
    return WideText(information.FileName, information.FileNameLength / sizeof(wchar_t));
}

WideText without_trailing_dots(WideText text) {
    while (!text.empty() && (text.back() == L'.' || text.back() == L' ')) text.pop_back();
    return text;
}

bool same_names(const WideText& first, const WideText& second) {
    return CompareStringOrdinal(first.data(), static_cast<int>(first.size()), second.data(),
                                static_cast<int>(second.size()), TRUE) == CSTR_EQUAL;
}

// Whether the directory `path` names (ending with a separator) is `parent` itself.
bool is_directory_at(const WideText& path, HANDLE parent) {
    HANDLE directory =
        CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (directory == INVALID_HANDLE_VALUE) return false;
    const bool same = identity_of(directory).same_as(identity_of(parent));
    CloseHandle(directory);
    return same;
}

// Whether `handle`, opened as the entry `name` of the directory `parent`, holds that
// entry and not what a link there leads to: its path names it `name` in `parent`.
// Wine tells a path without the dots and blanks its last name ends with, so the name
// is compared without them, and the directory by what it is, opened by the full path
// Wine tells for the entry, which keeps them. Where Wine tells no full path (past 260
// characters) the directory's path on the volume is compared as text instead, without
// the dots and blanks that end it.
bool opened_by_own_name(HANDLE parent, const WideText& name, HANDLE handle) {
    WideText path;
    const auto read_path = [handle](std::uint32_t room, wchar_t* text) {
        return GetFinalPathNameByHandleW(handle, text, room, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    };
    const bool full = read_wide(read_path, path);
    if (!full) path = name_of(handle);
    const std::size_t last = path.rfind(L'\\');
    if (last == WideText::npos ||
        !same_names(without_trailing_dots(path.substr(last + 1)), without_trailing_dots(name)))
        return false;
    if (full) return is_directory_at(path.substr(0, last + 1), parent);
    WideText directory = name_of(parent);
    if (directory.empty()) return false;
    while (!directory.empty() && directory.back() == L'\\') directory.pop_back();
    return same_names(without_trailing_dots(path.substr(0, last)), without_trailing_dots(directory));
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
    HANDLE handle = with_information(CreateFileW(path.c_str(), HOLDING_ACCESS, HOLDING_SHARING, nullptr, OPEN_EXISTING,
                                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr),
                                     ERROR_FILE_NOT_FOUND, information);
    if (handle == INVALID_HANDLE_VALUE || is_directory(information.dwFileAttributes)) return handle;
    return refuse(handle, ERROR_PATH_NOT_FOUND);
}

HANDLE hold_directory(const char* path) {
    WideText wide;
    return full_directory_path(path, wide) ? hold_directory(wide) : INVALID_HANDLE_VALUE;
}

bool entry_name(const char* name, WideText& wide) {
    const bool one = name != nullptr && name[0] != '\0' && std::strcmp(name, ".") != 0 &&
                     std::strcmp(name, "..") != 0 && std::strpbrk(name, "\\/:") == nullptr;
    if (!one) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    if (!wide_text(name, wide)) return false;
    // A counted name takes at most 32,767 units.
    if (wide.size() <= 32767) return true;
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return false;
}

HANDLE open_entry(HANDLE parent, const WideText& name, ACCESS_MASK access, ULONG sharing, ULONG options) {
    UNICODE_STRING text;
    text.Buffer = const_cast<wchar_t*>(name.data());
    text.Length = text.MaximumLength = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    // Names compare without regard to case, as KERNEL32 has them compared.
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, parent, nullptr);
    IO_STATUS_BLOCK status_block;
    HANDLE handle = INVALID_HANDLE_VALUE;
    const NTSTATUS status = NtOpenFile(&handle, access | SYNCHRONIZE, &attributes, &status_block, sharing,
                                       options | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT);
    if (!NT_SUCCESS(status)) {
        SetLastError(RtlNtStatusToDosError(status));
        return INVALID_HANDLE_VALUE;
    }
    if (links_followed_anyway() && !opened_by_own_name(parent, name, handle))
        return refuse(handle, ERROR_CANT_RESOLVE_FILENAME);
    return handle;
}

HANDLE open_file_entry(HANDLE parent, const WideText& name, ACCESS_MASK access) {
    constexpr ULONG sharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    access |= FILE_READ_ATTRIBUTES;
    HANDLE file = open_entry(parent, name, access | FILE_WRITE_ATTRIBUTES, sharing, FILE_NON_DIRECTORY_FILE);
    // Whoever may remove a file or read it need not be let change its attributes.
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED)
        file = open_entry(parent, name, access, sharing, FILE_NON_DIRECTORY_FILE);
    return file;
}

HANDLE hold_plain_directory(HANDLE parent, const WideText& name, DirectoryIdentity& identity) {
    BY_HANDLE_FILE_INFORMATION information;
    HANDLE handle = open_entry(parent, name, HOLDING_ACCESS, HOLDING_SHARING, FILE_DIRECTORY_FILE);
    // A file where a directory was looked for is missing as a directory.
    if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_DIRECTORY) SetLastError(ERROR_PATH_NOT_FOUND);
    handle = with_information(handle, ERROR_FILE_NOT_FOUND, information);
    if (handle == INVALID_HANDLE_VALUE) return handle;
    if (is_reparse_point(information.dwFileAttributes)) return refuse(handle, ERROR_CANT_RESOLVE_FILENAME);
    if (!is_directory(information.dwFileAttributes)) return refuse(handle, ERROR_PATH_NOT_FOUND);
    identity = identity_from(information);
    return handle;
}

DirectoryIdentity identity_of(HANDLE directory) {
    BY_HANDLE_FILE_INFORMATION information;
    if (GetFileInformationByHandle(directory, &information) == 0 || !is_directory(information.dwFileAttributes))
        return {};
    return identity_from(information);
}

}  // namespace rubo::platform::win32
