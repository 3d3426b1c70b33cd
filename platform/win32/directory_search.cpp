// Directory search through KERNEL32. Windows matches a pattern against the generated
// short names too, so that "*.obj" would also find "x.objx" by its alias X~1.OBJ, and
// its own '?' takes one UTF-16 unit (half of some characters) or, before a dot or the
// end, none at all. So the system is asked for every name of the directory, or for the
// one name that a pattern without wildcards gives, and the search keeps only the
// entries whose long name matches the pattern by the matcher's rules.

#include <windows.h>

#include <cstring>
#include <cwchar>
#include <string>

#include "platform/backend_helpers.h"
#include "platform/platform.h"
#include "platform/win32/file_time.h"
#include "platform/win32/system_text.h"

namespace rubo::platform {

struct Search {
    HANDLE handle;
    std::string name_pattern;
};

namespace {

// The part of a search pattern after its directory (and drive).
const char* name_pattern_of(const char* pattern) {
    const char* name = pattern;
    for (const char* c = pattern; *c != '\0'; ++c)
        if (*c == '\\' || *c == '/' || *c == ':') name = c + 1;
    return name;
}

// What the system is asked for: the directory with "*", or the pattern itself when
// its name part holds no wildcard.
bool system_pattern(const char* pattern, const char* name_pattern, WideText& wide) {
    if (std::strpbrk(name_pattern, "*?") == nullptr) return win32::system_path(pattern, wide);
    return win32::system_path((std::string(pattern, name_pattern) + '*').c_str(), wide);
}

std::string text_of(const wchar_t* name) { return wtf8_from_wide(name, std::wcslen(name)); }

// Moves on from the entry in `data` (which is looked at first when `current` is set)
// to the first one whose long name matches; false at the end (last error 18) and when
// the listing fails (another number).
bool find_match(Search& search, WIN32_FIND_DATAW& data, bool current) {
    for (;;) {
        if (current && wildcard_match(search.name_pattern.c_str(), text_of(data.cFileName).c_str(), Case::INSENSITIVE))
            return true;
        if (!FindNextFileW(search.handle, &data)) return false;
        current = true;
    }
}

// Copies a name that was read as UTF-16 into room for it as WTF-8, which is never more
// than three bytes for each unit.
template <std::size_t room, std::size_t units> void copy_name(char (&to)[room], const wchar_t (&from)[units]) {
    static_assert(3 * (units - 1) < room);
    const std::string name = text_of(from);
    std::memcpy(to, name.c_str(), name.size() + 1);
}

void fill(DirectoryEntry& entry, const WIN32_FIND_DATAW& data) {
    static_cast<EntryDetails&>(entry) = win32::details_of(data);
    copy_name(entry.name, data.cFileName);
    copy_name(entry.short_name, data.cAlternateFileName);
}

}  // namespace

Search* find_first(const char* pattern, DirectoryEntry& entry, FindDetail) {
    const char* name_pattern = path_given(pattern) ? name_pattern_of(pattern) : nullptr;
    WideText wide;
    if (name_pattern == nullptr || !system_pattern(pattern, name_pattern, wide)) return nullptr;
    WIN32_FIND_DATAW data;
    HANDLE handle = FindFirstFileW(wide.c_str(), &data);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    Search* search = new Search{handle, name_pattern};
    if (!find_match(*search, data, true)) {
        // Only a listing that reached its end found no match; one that failed on the way
        // is a directory that cannot be searched.
        const DWORD error = GetLastError();
        find_close(search);
        set_last_error(error == ERROR_NO_MORE_FILES ? SYSTEM_ERROR_FILE_NOT_FOUND : error);
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
    WIN32_FIND_DATAW data;
    if (!find_match(*search, data, false)) return false;
    fill(entry, data);
    return true;
}

void find_close(Search* search) {
    if (search == nullptr) return;
    FindClose(search->handle);
    delete search;
}

}  // namespace rubo::platform
