// Directory readings through KERNEL32: the system is asked for every entry ("*"), and
// gives each one's details with it, so a reading holds nothing open once it is made.
//
// A reading that is to know which directory it read holds that directory, not sharing
// deletion, while the listing starts: the directory whose identity it takes is the one
// it reads.

#include <windows.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include "platform/directory_reading.h"
#include "platform/platform.h"
#include "platform/win32/directory_identity.h"
#include "platform/win32/file_time.h"
#include "platform/win32/system_text.h"

namespace rubo::platform {

struct DirectoryReading::Data {
    struct Entry {
        std::size_t name = 0;  // offsets of the zero-terminated names in `names`
        std::size_t short_name = 0;
        EntryDetails details;
    };
    std::string names;
    std::vector<Entry> entries;

    const char* text(std::size_t offset) const { return names.data() + offset; }
    // Keeps a name the system gave, as WTF-8, and answers where it begins.
    std::size_t keep(const wchar_t* name) {
        const std::size_t offset = names.size();
        names.append(wtf8_from_wide(name, std::wcslen(name)));
        names.push_back('\0');
        return offset;
    }
};

namespace {

// What the system is asked for: every entry of the directory.
bool system_pattern(const char* directory, WideText& wide) {
    std::string pattern = directory != nullptr ? directory : "";
    const char last = pattern.empty() ? ':' : pattern.back();
    pattern += last == '\\' || last == '/' || last == ':' ? "*" : "\\*";
    return win32::system_path(pattern.c_str(), wide);
}

// Takes the entries of a started listing until its end. False with the system's error
// when the listing fails before its end: the entries taken until then are not the
// whole directory.
bool take_entries(HANDLE listing, WIN32_FIND_DATAW& data, DirectoryReading::Data& reading) {
    do {
        reading.entries.push_back(
            {reading.keep(data.cFileName), reading.keep(data.cAlternateFileName), win32::details_of(data)});
    } while (FindNextFileW(listing, &data));
    return GetLastError() == ERROR_NO_MORE_FILES;
}

}  // namespace

DirectoryReading::Data* copy_reading_data(const DirectoryReading::Data& data) {
    return new DirectoryReading::Data(data);
}

void free_reading_data(DirectoryReading::Data* data) { delete data; }

std::size_t reading_data_count(const DirectoryReading::Data& data) { return data.entries.size(); }

const char* DirectoryReading::name(std::size_t index) const { return data_->text(data_->entries[index].name); }

EntryKind DirectoryReading::kind(std::size_t index) const {
    const std::uint32_t attributes = data_->entries[index].details.attributes;
    if ((attributes & ATTRIBUTE_REPARSE_POINT) != 0) return EntryKind::REPARSE_POINT;
    return (attributes & ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::DIRECTORY : EntryKind::OTHER;
}

bool DirectoryReading::details(std::size_t index, DirectoryEntry& entry) {
    const Data::Entry& found = data_->entries[index];
    static_cast<EntryDetails&>(entry) = found.details;
    // A name the system gave takes at most three bytes for each of its units, which the
    // entry's room was made for.
    std::strcpy(entry.name, data_->text(found.name));
    std::strcpy(entry.short_name, data_->text(found.short_name));
    return true;
}

void DirectoryReading::release() {}

bool read_directory(const char* directory, DirectoryReading& reading, ReadIdentity identity) {
    reading = DirectoryReading{};
    WideText wide;
    if (!system_pattern(directory, wide)) return false;
    DirectoryReading fresh;
    fresh.data_ = new DirectoryReading::Data;
    HANDLE held = INVALID_HANDLE_VALUE;
    if (identity == ReadIdentity::TAKE) {
        held = win32::hold_directory(directory != nullptr ? directory : "");
        if (held == INVALID_HANDLE_VALUE) return false;
        fresh.identity_ = win32::identity_of(held);
    }
    WIN32_FIND_DATAW data;
    HANDLE listing = FindFirstFileW(wide.c_str(), &data);
    const DWORD error = GetLastError();
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    if (listing == INVALID_HANDLE_VALUE) {
        // A drive's root may hold nothing at all, not even "." and "..".
        if (error != ERROR_FILE_NOT_FOUND) {
            SetLastError(error);
            return false;
        }
    } else {
        const bool whole = take_entries(listing, data, *fresh.data_);
        const DWORD failure = GetLastError();
        FindClose(listing);
        if (!whole) {
            SetLastError(failure);
            return false;
        }
    }
    reading = std::move(fresh);
    return true;
}

}  // namespace rubo::platform
