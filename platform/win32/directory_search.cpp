// Directory search through KERNEL32. Windows matches a pattern against the generated
// short names too, so that "*.obj" would also find "x.objx" by its alias X~1.OBJ; the
// search therefore keeps only the entries whose long name matches the pattern.
//
// A search that is to know which directory it read holds that directory, not sharing
// deletion, while it starts: the directory whose identity it takes is the one it reads.

#include <windows.h>

#include <cstring>
#include <string>

#include "platform/backend_helpers.h"
#include "platform/platform.h"
#include "platform/win32/directory_identity.h"
#include "platform/win32/file_time.h"

namespace platform {

struct Search {
    HANDLE handle;
    std::string name_pattern;
    DirectoryIdentity identity;
};

namespace {

// The part of a search pattern after its directory (and drive).
const char* name_pattern_of(const char* pattern) {
    const char* name = pattern;
    for (const char* c = pattern; *c != '\0'; ++c)
        if (*c == '\\' || *c == '/' || *c == ':') name = c + 1;
    return name;
}

// Moves on from the entry in `data` (which is looked at first when `current` is set)
// to the first one whose long name matches; false at the end.
bool find_match(Search& search, WIN32_FIND_DATAA& data, bool current) {
    for (;;) {
        if (current && wildcard_match(search.name_pattern.c_str(), data.cFileName, true)) return true;
        if (!FindNextFileA(search.handle, &data)) return false;
        current = true;
    }
}

void fill(DirectoryEntry& entry, const WIN32_FIND_DATAA& data) {
    using win32::file_time_of;
    entry.attributes = data.dwFileAttributes;
    entry.creation_time = file_time_of(data.ftCreationTime);
    entry.last_access_time = file_time_of(data.ftLastAccessTime);
    entry.last_write_time = file_time_of(data.ftLastWriteTime);
    entry.size_high = data.nFileSizeHigh;
    entry.size_low = data.nFileSizeLow;
    static_assert(sizeof entry.name == sizeof data.cFileName && sizeof entry.short_name == sizeof data.cAlternateFileName);
    std::memcpy(entry.name, data.cFileName, sizeof entry.name);
    std::memcpy(entry.short_name, data.cAlternateFileName, sizeof entry.short_name);
}

}  // namespace

Search* find_first(const char* pattern, DirectoryEntry& entry, FindDetail detail) {
    if (!path_given(pattern)) return nullptr;
    const char* name_pattern = name_pattern_of(pattern);
    HANDLE held = INVALID_HANDLE_VALUE;
    DirectoryIdentity identity;
    if ((detail & FIND_IDENTITY) != 0) {
        held = win32::hold_directory(std::string(pattern, name_pattern).c_str());
        if (held == INVALID_HANDLE_VALUE) return nullptr;
        identity = win32::identity_of(held);
    }
    WIN32_FIND_DATAA data;
    HANDLE handle = FindFirstFileA(pattern, &data);
    if (held != INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        CloseHandle(held);
        SetLastError(error);
    }
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    Search* search = new Search{handle, name_pattern, identity};
    if (!find_match(*search, data, true)) {
        find_close(search);
        set_last_error(SYSTEM_ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    fill(entry, data);
    return search;
}

bool find_next(Search* search, DirectoryEntry& entry) {
    if (search == nullptr) {
        set_last_error(SYSTEM_ERROR_INVALID_HANDLE);
        return false;
    }
    WIN32_FIND_DATAA data;
    if (!find_match(*search, data, false)) return false;
    fill(entry, data);
    return true;
}

DirectoryIdentity search_identity(const Search* search) {
    return search != nullptr ? search->identity : DirectoryIdentity{};
}

void find_close(Search* search) {
    if (search == nullptr) return;
    FindClose(search->handle);
    delete search;
}

}  // namespace platform
