// Open directories and their readings. A directory below another is opened relative to
// that one's descriptor without following a link, and must be the directory the reading
// of its parent found under its name; its own descriptor is then read, so no path is
// looked up twice. The whole directory is read at once and sorted bytewise by name
// ("." and ".." first, as Windows lists them, except in the root). Each entry's kind
// comes from the reading where the system tells it, else from the file itself.
//
// A subdirectory that is the mount point of another file system (or another mount of
// the same one) is a reparse point, as Windows reports a mounted volume, so that a walk
// does not enter it.

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
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

struct Directory {
    int descriptor = -1;
    DIR* stream = nullptr;  // once the directory is read, the stream that owns the descriptor
    posix::MountPlace place;
};

struct DirectoryReading::Data {
    struct Entry {
        std::size_t name = 0;  // offset of the zero-terminated name in `names`
        int rank = 0;          // 0 for ".", 1 for "..", 2 for every other name
        unsigned char type = DT_UNKNOWN;
        std::uint64_t head = 0;      // the first eight bytes, for quick comparison (name_head)
        bool mount_point = false;    // a directory where another mount begins
        DirectoryIdentity identity;  // of a directory
    };
    std::string names;
    std::vector<Entry> entries;
    int descriptor = -1;  // the directory read, while details may be taken from it

    Data() = default;
    Data(const Data& other) : names(other.names), entries(other.entries) {}
    Data& operator=(const Data&) = delete;

    const char* name_of(const Entry& entry) const { return names.data() + entry.name; }
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

// Marks, where the directory may hold subdirectories, those that are mount points and
// notes which directory each one is; an entry of unknown kind learns its kind on the
// way, and one that has gone meanwhile is dropped. False with the error recorded when
// that cannot be told (a directory that may be read but not searched): a walk must not go
// on below it blind.
bool place_entries(const Directory& directory, DirectoryReading::Data& reading) {
    for (Entry& entry : reading.entries) {
        posix::MountPlace place;
        if (entry.rank != 2 || (entry.type != DT_DIR && entry.type != DT_UNKNOWN)) continue;
        if (!posix::read_mount_place(directory.descriptor, reading.name_of(entry), place)) {
            if (errno == ENOENT) {  // gone since the directory was read
                entry.rank = -1;
                continue;
            }
            return posix::fail_with_errno();
        }
        entry.type = type_of(place.mode);
        entry.mount_point = entry.type == DT_DIR && posix::crosses_mount(directory.place, place);
        entry.identity = place.identity;
    }
    return true;
}

// Reads every entry of the open directory whose name fits a DirectoryEntry, sorted. False
// with the error recorded when the directory cannot be searched, or a read fails before
// its end.
bool read_entries(const Directory& directory, DirectoryReading::Data& reading) {
    ino_t dot_numbers[2] = {0, 0};
    bool dots[2] = {false, false};
    for (;;) {
        errno = 0;
        const dirent* found = readdir(directory.stream);
        if (found == nullptr) {
            if (errno != 0) return posix::fail_with_errno();
            break;
        }
        std::size_t length = std::strlen(found->d_name);
        if (length >= sizeof DirectoryEntry::name) continue;
        const int rank = rank_of(found->d_name);
        reading.entries.push_back(
            {reading.names.size(), rank, found->d_type, name_head(found->d_name, length), false, {}});
        reading.names.append(found->d_name, length + 1);
        if (rank < 2) {
            dots[rank] = true;
            dot_numbers[rank] = found->d_ino;
        }
    }
    if (!place_entries(directory, reading)) return false;
    // Only where "." and ".." are listed as one file can the directory be the root; the
    // status calls that make sure are spared everywhere else.
    const bool root = dots[0] && dots[1] && dot_numbers[0] == dot_numbers[1] && is_root(directory.descriptor);
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

// A directory just opened as `descriptor`, with its place taken; null with the error
// recorded (as a directory missing on the way) when it could not be opened.
Directory* held(int descriptor) {
    if (descriptor < 0) {
        posix::record_errno(errno, posix::Missing::PATH);
        return nullptr;
    }
    Directory* directory = new Directory;
    directory->descriptor = descriptor;
    if (posix::read_mount_place(descriptor, "", directory->place)) return directory;
    posix::record_errno(errno, posix::Missing::PATH);
    close_directory(directory);
    return nullptr;
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

DirectoryIdentity DirectoryReading::identity(std::size_t index) const { return data_->entries[index].identity; }

bool DirectoryReading::details(std::size_t index, DirectoryEntry& entry) {
    const Data::Entry& found = data_->entries[index];
    const char* name = data_->name_of(found);
    const int directory = data_->descriptor;
    if (directory < 0) {
        set_last_error(SYSTEM_ERROR_INVALID_HANDLE);
        return false;
    }
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
    if (data_ != nullptr) data_->descriptor = -1;
}

Directory* open_directory(const char* path) {
    return held(open(path != nullptr && path[0] != '\0' ? path : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

Directory* open_directory_below(Directory* parent, const char* name, const DirectoryIdentity& expected) {
    Directory* directory = held(openat(parent->descriptor, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (directory == nullptr) return nullptr;
    if ((!expected.known || expected.same_as(directory->place.identity)) &&
        !posix::crosses_mount(parent->place, directory->place))
        return directory;
    // Another directory than the one read there, or another mount: not the way down.
    close_directory(directory);
    posix::record_errno(ENOENT, posix::Missing::PATH);
    return nullptr;
}

DirectoryIdentity directory_identity(const Directory* directory) { return directory->place.identity; }

std::uint32_t directories_to_hold() {
    constexpr rlim_t most = 256;
    constexpr rlim_t spared = 16;
    rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return most;
    return static_cast<std::uint32_t>(
        std::clamp<rlim_t>(limit.rlim_cur > spared ? (limit.rlim_cur - spared) / 4 : 0, 1, most));
}

void close_directory(Directory* directory) {
    if (directory == nullptr) return;
    if (directory->stream != nullptr)
        closedir(directory->stream);
    else
        close(directory->descriptor);
    delete directory;
}

bool read_directory(Directory* directory, DirectoryReading& reading) {
    reading = DirectoryReading{};
    if (directory->stream == nullptr) {
        directory->stream = fdopendir(directory->descriptor);
        if (directory->stream == nullptr) return posix::fail_with_errno();
    } else {
        rewinddir(directory->stream);
    }
    DirectoryReading fresh;
    fresh.data_ = new DirectoryReading::Data;
    if (!read_entries(*directory, *fresh.data_)) return false;
    fresh.data_->descriptor = directory->descriptor;
    reading = std::move(fresh);
    return true;
}

}  // namespace rubo::platform
