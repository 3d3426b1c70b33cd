// Directory readings: the whole directory is read at once and sorted bytewise by name
// ("." and ".." first, as Windows lists them, except in the root). Each entry's kind
// comes from the reading where the system tells it, else from the file itself.
//
// A subdirectory that is the mount point of another file system (or another mount of
// the same one) is a reparse point, as Windows reports a mounted volume, so that a walk
// does not enter it.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/directory_reading.h"
#include "platform/platform.h"
#include "platform/posix/error.h"
#include "platform/posix/file_status.h"

namespace rubo::platform {

struct DirectoryReading::Data {
    struct Entry {
        std::size_t name = 0;  // offset of the zero-terminated name in `names`
        int rank = 0;          // 0 for ".", 1 for "..", 2 for every other name
        unsigned char type = DT_UNKNOWN;
        std::uint64_t head = 0;    // the first eight bytes, for quick comparison (name_head)
        bool mount_point = false;  // a directory where another mount begins
    };
    std::string path;  // what the directory was read by
    std::string names;
    std::vector<Entry> entries;
    DIR* stream = nullptr;  // the directory, while it is held open
    int descriptor = -1;    // opened again for details after release()

    Data() = default;
    Data(const Data& other) : path(other.path), names(other.names), entries(other.entries) {}
    Data& operator=(const Data&) = delete;
    ~Data() { close_directory(); }

    const char* name_of(const Entry& entry) const { return names.data() + entry.name; }

    void close_directory() {
        if (stream != nullptr) closedir(stream);
        if (descriptor >= 0) close(descriptor);
        stream = nullptr;
        descriptor = -1;
    }
    // The open directory, opened again if need be; -1 with the error recorded.
    int directory() {
        if (stream != nullptr) return dirfd(stream);
        if (descriptor < 0) {
            descriptor = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            // The directory itself is what is missing here, so this is always "path not found".
            if (descriptor < 0) posix::record_errno(errno, posix::Missing::PATH);
        }
        return descriptor;
    }
};

namespace {

using Entry = DirectoryReading::Data::Entry;

int rank_of(const char* name) {
    if (std::strcmp(name, ".") == 0) return 0;
    if (std::strcmp(name, "..") == 0) return 1;
    return 2;
}

// The first eight bytes of a name (zeros past its end) as a number that compares like
// the bytes do, so that most names are put in order without comparing them whole.
std::uint64_t name_head(const char* name, std::size_t length) {
    std::uint64_t head = 0;
    for (std::size_t i = 0; i < 8; ++i) head = head << 8 | (i < length ? static_cast<unsigned char>(name[i]) : 0u);
    return head;
}

// Whether the open directory is the root, where Windows reports no "." and "..".
bool is_root(int directory) {
    struct stat self, parent;
    return fstat(directory, &self) == 0 && fstatat(directory, "..", &parent, 0) == 0 && self.st_dev == parent.st_dev &&
           self.st_ino == parent.st_ino;
}

// The kind of entry a file mode stands for, as a directory reading gives it.
unsigned char type_of(mode_t mode) {
    if (S_ISDIR(mode)) return DT_DIR;
    if (S_ISLNK(mode)) return DT_LNK;
    return DT_REG;
}

// Takes the identity of the open directory into `identity` when it is asked for, and,
// where the directory may hold subdirectories, marks those that are mount points; an
// entry of unknown kind learns its kind on the way, and one that has gone meanwhile is
// dropped. False with the error recorded when that cannot be told (a directory that may
// be read but not searched): a walk must not go on below it blind.
bool place_entries(int directory, ReadIdentity asked, DirectoryReading::Data& reading, DirectoryIdentity& identity) {
    const auto may_be_directory = [](const Entry& entry) {
        return entry.rank == 2 && (entry.type == DT_DIR || entry.type == DT_UNKNOWN);
    };
    const bool subdirectories = std::any_of(reading.entries.begin(), reading.entries.end(), may_be_directory);
    if (asked == ReadIdentity::SKIP && !subdirectories) return true;
    posix::MountPlace own;
    if (!posix::read_mount_place(directory, "", own)) return posix::fail_with_errno();
    identity = own.identity;
    for (Entry& entry : reading.entries) {
        posix::MountPlace place;
        if (!may_be_directory(entry)) continue;
        if (!posix::read_mount_place(directory, reading.name_of(entry), place)) {
            if (errno == ENOENT) {  // gone since the directory was read
                entry.rank = -1;
                continue;
            }
            return posix::fail_with_errno();
        }
        entry.type = type_of(place.mode);
        entry.mount_point = entry.type == DT_DIR && posix::crosses_mount(own, place);
    }
    return true;
}

// Reads every entry of the open directory whose name fits a DirectoryEntry, sorted. False
// with the error recorded when the directory cannot be searched, also when its reading
// fails part way: the names read until then are not the whole directory.
bool read_entries(ReadIdentity asked, DirectoryReading::Data& reading, DirectoryIdentity& identity) {
    ino_t dot_numbers[2] = {0, 0};
    bool dots[2] = {false, false};
    for (;;) {
        errno = 0;  // readdir answers null both at the end and on failure; only errno tells
        const dirent* found = readdir(reading.stream);
        if (found == nullptr) {
            if (errno != 0) return posix::fail_with_errno();
            break;
        }
        std::size_t length = std::strlen(found->d_name);
        if (length >= sizeof DirectoryEntry::name) continue;
        const int rank = rank_of(found->d_name);
        reading.entries.push_back({reading.names.size(), rank, found->d_type, name_head(found->d_name, length)});
        reading.names.append(found->d_name, length + 1);
        if (rank < 2) {
            dots[rank] = true;
            dot_numbers[rank] = found->d_ino;
        }
    }
    const int directory = dirfd(reading.stream);
    if (!place_entries(directory, asked, reading, identity)) return false;
    // Only where "." and ".." are listed as one file can the directory be the root; the
    // status calls that make sure are spared everywhere else.
    const bool root = dots[0] && dots[1] && dot_numbers[0] == dot_numbers[1] && is_root(directory);
    const auto dropped = [root](const Entry& entry) { return entry.rank < 0 || (root && entry.rank < 2); };
    reading.entries.erase(std::remove_if(reading.entries.begin(), reading.entries.end(), dropped),
                          reading.entries.end());
    const char* names = reading.names.data();
    std::sort(reading.entries.begin(), reading.entries.end(), [names](const Entry& a, const Entry& b) {
        if (a.rank != b.rank) return a.rank < b.rank;
        if (a.head != b.head) return a.head < b.head;
        return std::strcmp(names + a.name, names + b.name) < 0;
    });
    // A directory holds each name once, but one that changes while it is read may show
    // a name twice; the walk relies on never listing one path twice.
    const auto same = [names](const Entry& a, const Entry& b) {
        return a.head == b.head && std::strcmp(names + a.name, names + b.name) == 0;
    };
    const auto end = std::unique(reading.entries.begin(), reading.entries.end(), same);
    reading.entries.erase(end, reading.entries.end());
    return true;
}

}  // namespace

DirectoryReading::Data* copy_reading_data(const DirectoryReading::Data& data) {
    return new DirectoryReading::Data(data);
}

void free_reading_data(DirectoryReading::Data* data) { delete data; }

std::size_t reading_data_count(const DirectoryReading::Data& data) { return data.entries.size(); }

const char* DirectoryReading::name(std::size_t index) const { return data_->name_of(data_->entries[index]); }

EntryKind DirectoryReading::kind(std::size_t index) const {
    const Data::Entry& entry = data_->entries[index];
    if (entry.type == DT_LNK || entry.mount_point) return EntryKind::REPARSE_POINT;
    return entry.type == DT_DIR ? EntryKind::DIRECTORY : EntryKind::OTHER;
}

bool DirectoryReading::details(std::size_t index, DirectoryEntry& entry) {
    const Data::Entry& found = data_->entries[index];
    const char* name = data_->name_of(found);
    const int directory = data_->directory();
    if (directory < 0) return false;
    posix::FileStatus status;
    if (!posix::read_status(directory, name, status)) {
        if (errno == ENOENT)  // gone since the directory was read
            set_last_error(SYSTEM_ERROR_FILE_NOT_FOUND);
        else
            posix::record_errno(errno);
        return false;
    }
    entry.attributes = posix::attributes_of(directory, name, status.mode);
    if (found.mount_point) entry.attributes |= ATTRIBUTE_REPARSE_POINT;
    entry.creation_time = status.creation_time;
    entry.last_access_time = status.last_access_time;
    entry.last_write_time = status.last_write_time;
    const std::uint64_t size = S_ISLNK(status.mode) ? 0 : status.size;
    entry.size_high = static_cast<std::uint32_t>(size >> 32);
    entry.size_low = static_cast<std::uint32_t>(size);
    std::strcpy(entry.name, name);
    entry.short_name[0] = '\0';
    return true;
}

void DirectoryReading::release() {
    if (data_ != nullptr) data_->close_directory();
}

bool read_directory(const char* directory, DirectoryReading& reading, ReadIdentity identity) {
    DirectoryReading fresh;
    fresh.data_ = new DirectoryReading::Data;
    DirectoryReading::Data& data = *fresh.data_;
    data.path = directory != nullptr && directory[0] != '\0' ? directory : ".";
    reading = DirectoryReading{};
    data.stream = opendir(data.path.c_str());
    if (data.stream == nullptr) {
        // The directory itself is what is missing here, so this is always "path not found".
        posix::record_errno(errno, posix::Missing::PATH);
        return false;
    }
    if (!read_entries(identity, data, fresh.identity_)) return false;
    reading = std::move(fresh);
    return true;
}

}  // namespace rubo::platform
