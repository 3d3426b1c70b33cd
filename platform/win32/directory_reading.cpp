// Open directories and their readings through KERNEL32. A directory is held by a handle
// that does not share deletion, so that while it is open it can be neither renamed nor
// removed, and is known by its full path in the long form: a directory below it is opened
// by that path and its own name, refusing a reparse point, and a directory is read by
// its path. The system is asked for every entry ("*") and gives each one's details with
// it, so a reading needs nothing open once it is made.

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

struct Directory {
    HANDLE handle = INVALID_HANDLE_VALUE;
    DirectoryIdentity identity;
    WideText path;  // full, in the form the system takes as it stands
};

struct DirectoryReading::Data {
    struct Entry {
        std::size_t name = 0;  // offsets of the zero-terminated names in `names`
        std::size_t short_name = 0;
        EntryDetails details;
    };
    std::string names;
    std::vector<Entry> entries;
    bool detailed = false;  // details are given from read_directory on until release(), as on POSIX systems

    Data() = default;
    Data(const Data& other) : names(other.names), entries(other.entries) {}
    Data& operator=(const Data&) = delete;

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

// `path` with `name` after it, one separator between them.
WideText path_below(const WideText& path, const WideText& name) {
    WideText below = path;
    if (below.empty() || (below.back() != L'\\' && below.back() != L'/')) below += L'\\';
    return below + name;
}

// Whether `name` names one entry of a directory, and nothing but that: no separator, no
// stream (after a colon), neither "." nor "..".
bool one_name(const char* name) {
    return name[0] != '\0' && std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0 &&
           std::strpbrk(name, "\\/:") == nullptr;
}

// A directory held by `handle`, its path taken over; null with the last error kept when
// the handle is none.
Directory* held(HANDLE handle, WideText&& path) {
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    return new Directory{handle, win32::identity_of(handle), std::move(path)};
}

// Takes the entries of a started listing to its end, and ends it. False with the
// system's error when the listing fails before its end.
bool take_entries(HANDLE listing, WIN32_FIND_DATAW& data, DirectoryReading::Data& reading) {
    do {
        reading.entries.push_back(
            {reading.keep(data.cFileName), reading.keep(data.cAlternateFileName), win32::details_of(data)});
    } while (FindNextFileW(listing, &data));
    const DWORD error = GetLastError();
    FindClose(listing);
    SetLastError(error);
    return error == ERROR_NO_MORE_FILES;
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

// A listing does not tell which directory an entry is.
DirectoryIdentity DirectoryReading::identity(std::size_t) const { return {}; }

bool DirectoryReading::details(std::size_t index, DirectoryEntry& entry) {
    if (!data_->detailed) {
        set_last_error(SYSTEM_ERROR_INVALID_HANDLE);
        return false;
    }
    const Data::Entry& found = data_->entries[index];
    static_cast<EntryDetails&>(entry) = found.details;
    // A name the system gave takes at most three bytes for each of its units, which the
    // entry's room was made for.
    std::strcpy(entry.name, data_->text(found.name));
    std::strcpy(entry.short_name, data_->text(found.short_name));
    return true;
}

void DirectoryReading::release() {
    if (data_ != nullptr) data_->detailed = false;
}

Directory* open_directory(const char* path) {
    WideText wide;
    if (!win32::full_directory_path(path, wide)) return nullptr;
    return held(win32::hold_directory(wide), std::move(wide));
}

Directory* open_directory_below(Directory* parent, const char* name, const DirectoryIdentity& expected) {
    WideText wide_name;
    if (!win32::wide_text(name, wide_name)) return nullptr;
    if (!one_name(name)) {
        set_last_error(SYSTEM_ERROR_INVALID_NAME);
        return nullptr;
    }
    WideText path = path_below(parent->path, wide_name);
    Directory* directory = held(win32::hold_plain_directory(path), std::move(path));
    if (directory == nullptr || !expected.known || expected.same_as(directory->identity)) return directory;
    // Another directory than the one read there: not the way down.
    close_directory(directory);
    set_last_error(SYSTEM_ERROR_PATH_NOT_FOUND);
    return nullptr;
}

DirectoryIdentity directory_identity(const Directory* directory) { return directory->identity; }

// Handles are limited by memory alone; this many held directories cost little of it.
std::uint32_t directories_to_hold() { return 256; }

void close_directory(Directory* directory) {
    if (directory == nullptr) return;
    CloseHandle(directory->handle);
    delete directory;
}

bool read_directory(Directory* directory, DirectoryReading& reading) {
    reading = DirectoryReading{};
    DirectoryReading fresh;
    fresh.data_ = new DirectoryReading::Data;
    WIN32_FIND_DATAW data;
    HANDLE listing = FindFirstFileW(path_below(directory->path, L"*").c_str(), &data);
    // A drive's root may hold nothing at all, not even "." and "..".
    const bool read = listing != INVALID_HANDLE_VALUE ? take_entries(listing, data, *fresh.data_)
                                                      : GetLastError() == ERROR_FILE_NOT_FOUND;
    if (!read) {
        const DWORD error = GetLastError();
        fresh = DirectoryReading{};
        SetLastError(error);
        return false;
    }
    fresh.data_->detailed = true;
    reading = std::move(fresh);
    return true;
}

}  // namespace rubo::platform
