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

#include "platform/platform.h"
#include "platform/win32/directory_identity.h"
#include "platform/win32/file_time.h"
#include "platform/win32/system_text.h"

namespace platform {

struct DirectoryReading::Data {
    struct Entry {
        std::size_t name = 0;        // offsets of the zero-terminated names in `names`
        std::size_t short_name = 0;
        std::uint32_t attributes = 0;
        FileTime creation_time = 0;
        FileTime last_access_time = 0;
        FileTime last_write_time = 0;
        std::uint32_t size_high = 0;
        std::uint32_t size_low = 0;
    };
    std::string names;
    std::vector<Entry> entries;
    DirectoryIdentity identity;

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

// Takes the entries of a started listing until its end.
void take_entries(HANDLE listing, WIN32_FIND_DATAW& data, DirectoryReading::Data& reading) {
    using win32::file_time_of;
    do {
        reading.entries.push_back({reading.keep(data.cFileName), reading.keep(data.cAlternateFileName),
                                   data.dwFileAttributes, file_time_of(data.ftCreationTime),
                                   file_time_of(data.ftLastAccessTime), file_time_of(data.ftLastWriteTime),
                                   data.nFileSizeHigh, data.nFileSizeLow});
    } while (FindNextFileW(listing, &data));
}

}  // namespace

DirectoryReading::DirectoryReading(const DirectoryReading& other)
    : data_(other.data_ != nullptr ? new Data(*other.data_) : nullptr) {}

DirectoryReading::DirectoryReading(DirectoryReading&& other) noexcept : data_(std::exchange(other.data_, nullptr)) {}

DirectoryReading& DirectoryReading::operator=(DirectoryReading other) noexcept {
    std::swap(data_, other.data_);
    return *this;
}

DirectoryReading::~DirectoryReading() { delete data_; }

std::size_t DirectoryReading::count() const { return data_ != nullptr ? data_->entries.size() : 0; }

const char* DirectoryReading::name(std::size_t index) const { return data_->text(data_->entries[index].name); }

EntryKind DirectoryReading::kind(std::size_t index) const {
    const std::uint32_t attributes = data_->entries[index].attributes;
    if ((attributes & ATTRIBUTE_REPARSE_POINT) != 0) return EntryKind::REPARSE_POINT;
    return (attributes & ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::DIRECTORY : EntryKind::OTHER;
}

DirectoryIdentity DirectoryReading::identity() const {
    return data_ != nullptr ? data_->identity : DirectoryIdentity{};
}

bool DirectoryReading::details(std::size_t index, DirectoryEntry& entry) {
    const Data::Entry& found = data_->entries[index];
    entry.attributes = found.attributes;
    entry.creation_time = found.creation_time;
    entry.last_access_time = found.last_access_time;
    entry.last_write_time = found.last_write_time;
    entry.size_high = found.size_high;
    entry.size_low = found.size_low;
    // A name the system gave takes at most three bytes for each of its units, which the
    // entry's room was made for.
    std::strcpy(entry.name, data_->text(found.name));
    std::strcpy(entry.short_name, data_->text(found.short_name));
    return true;
}

void DirectoryReading::release() {}

bool read_directory(const char* directory, DirectoryReading& reading, bool identity) {
    reading = DirectoryReading{};
    WideText wide;
    if (!system_pattern(directory, wide)) return false;
    DirectoryReading fresh;
    fresh.data_ = new DirectoryReading::Data;
    HANDLE held = INVALID_HANDLE_VALUE;
    if (identity) {
        held = win32::hold_directory(directory != nullptr ? directory : "");
        if (held == INVALID_HANDLE_VALUE) return false;
        fresh.data_->identity = win32::identity_of(held);
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
        take_entries(listing, data, *fresh.data_);
        FindClose(listing);
    }
    reading = std::move(fresh);
    return true;
}

}  // namespace platform
