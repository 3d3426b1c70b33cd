// Open directories and their readings. A directory is held by a handle that does not
// share deletion, so that while it is open it can be neither renamed nor removed; a
// directory below it is opened relative to that handle by its own name, refusing a
// reparse point, and a directory is read through its handle, never looked up by a path
// again. The listing gives every entry's details and file ID with its names, so a
// reading needs nothing open once it is made, and tells which directory each
// subdirectory was.

#include <windows.h>

#include <cstdint>
#include <cstring>
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
};

struct DirectoryReading::Data {
    struct Entry {
        std::size_t name = 0;  // offsets of the zero-terminated names in `names`
        std::size_t short_name = 0;
        EntryDetails details;
        DirectoryIdentity identity;  // of a directory, where the listing gave its file ID
    };
    std::string names;
    std::vector<Entry> entries;
    bool detailed = false;  // details are given from read_directory on until release(), as on POSIX systems

    Data() = default;
    Data(const Data& other) : names(other.names), entries(other.entries) {}
    Data& operator=(const Data&) = delete;

    const char* text(std::size_t offset) const { return names.data() + offset; }
    // Keeps a name the system gave, `size` bytes long, as WTF-8, and answers where it begins.
    std::size_t keep(const wchar_t* name, std::size_t size) {
        const std::size_t offset = names.size();
        names.append(wtf8_from_wide(name, size / sizeof(wchar_t)));
        names.push_back('\0');
        return offset;
    }
};

namespace {

// Keeps the entries of one answer of the listing; a subdirectory's identity is its file
// ID on the volume of the directory `own`.
void keep_entries(const unsigned char* answer, const DirectoryIdentity& own, DirectoryReading::Data& reading) {
    for (;;) {
        const auto& found = *reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(answer);
        DirectoryReading::Data::Entry entry{
            reading.keep(found.FileName, found.FileNameLength),
            reading.keep(found.ShortName, static_cast<unsigned char>(found.ShortNameLength)),
            win32::details_of(found),
            {}};
        const auto file = static_cast<std::uint64_t>(found.FileId.QuadPart);
        if ((found.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && file != 0 && own.known) {
            entry.identity = own;
            entry.identity.file = file;
        }
        reading.entries.push_back(entry);
        if (found.NextEntryOffset == 0) return;
        answer += found.NextEntryOffset;
    }
}

// Takes every entry of the directory held by `handle`, from the start of its listing to
// the end. False with the system's error when the listing fails before its end.
bool take_entries(HANDLE handle, const DirectoryIdentity& own, DirectoryReading::Data& reading) {
    std::vector<std::uint64_t> answer(64 * 1024 / sizeof(std::uint64_t));  // aligned as the entries need
    const auto size = static_cast<DWORD>(answer.size() * sizeof(std::uint64_t));
    for (FILE_INFO_BY_HANDLE_CLASS request = FileIdBothDirectoryRestartInfo;; request = FileIdBothDirectoryInfo) {
        if (!GetFileInformationByHandleEx(handle, request, answer.data(), size)) {
            // A drive's root may hold nothing at all, not even "." and "..".
            const DWORD error = GetLastError();
            return error == ERROR_NO_MORE_FILES ||
                   (request == FileIdBothDirectoryRestartInfo && error == ERROR_FILE_NOT_FOUND);
        }
        keep_entries(reinterpret_cast<const unsigned char*>(answer.data()), own, reading);
    }
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

DirectoryIdentity DirectoryReading::identity(std::size_t index) const { return data_->entries[index].identity; }

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
    HANDLE handle = win32::hold_directory(path);
    return handle != INVALID_HANDLE_VALUE ? new Directory{handle, win32::identity_of(handle)} : nullptr;
}

Directory* open_directory_below(Directory* parent, const char* name, const DirectoryIdentity& expected) {
    WideText wide_name;
    if (!win32::entry_name(name, wide_name)) return nullptr;
    DirectoryIdentity identity;
    HANDLE handle = win32::hold_plain_directory(parent->handle, wide_name, identity);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    if (!expected.known || expected.same_as(identity)) return new Directory{handle, identity};
    // Another directory than the one read there: not the way down.
    CloseHandle(handle);
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
    if (!take_entries(directory->handle, directory->identity, *fresh.data_)) {
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
