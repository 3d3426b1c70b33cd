// Directory search: the whole directory is read at once and sorted bytewise by name
// ("." and ".." first, as Windows lists them); a search filters that reading with the
// wildcard matcher and hands the matches out one at a time. The details of every
// match are read while the directory is open, so a search holds no descriptor while
// the caller works through it, however deeply searches nest.
//
// The last reading of a directory named by an absolute path is kept, so that the next
// search of the same directory that accepts it (FIND_LAST_READING) needs no second
// reading.
//
// A subdirectory that is the mount point of another file system (or another mount of
// the same one) is reported as a reparse point, as Windows reports a mounted volume, so
// that a walk does not enter it.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/backend_helpers.h"
#include "platform/platform.h"
#include "platform/posix/error.h"
#include "platform/posix/file_status.h"

namespace platform {

struct Search {
    struct Match {
        std::size_t name = 0;  // offset of the zero-terminated name in `names`
        std::uint32_t attributes = 0;
        FileTime creation_time = 0;
        FileTime last_access_time = 0;
        FileTime last_write_time = 0;
        std::uint64_t size = 0;
    };
    std::string names;
    std::vector<Match> matches;
    std::size_t next = 0;
    DirectoryIdentity identity;  // of the directory read
};

namespace {

// The entries of one directory as one reading found them, in the order searches serve
// them.
struct Reading {
    struct Entry {
        std::size_t name = 0;  // offset of the zero-terminated name in `names`
        int rank = 0;          // 0 for ".", 1 for "..", 2 for every other name
        unsigned char type = DT_UNKNOWN;
        std::uint64_t head = 0;    // the first eight bytes, for quick comparison (name_head)
        bool mount_point = false;  // a directory where another mount begins
    };
    std::string directory;  // the path it was read by; empty when nothing is kept
    std::string names;
    std::vector<Entry> entries;
    bool root = false;  // whether the directory is the root, where the dots are not reported
    DirectoryIdentity identity;  // of the directory read, where it was asked for or needed

    const char* name_of(const Entry& entry) const { return names.data() + entry.name; }
};

Reading last_reading;

int rank_of(const char* name) {
    if (std::strcmp(name, ".") == 0) return 0;
    if (std::strcmp(name, "..") == 0) return 1;
    return 2;
}

// The first eight bytes of a name (zeros past its end) as a number that compares like
// the bytes do, so that most names are put in order without comparing them whole.
std::uint64_t name_head(const char* name, std::size_t length) {
    std::uint64_t head = 0;
    for (std::size_t i = 0; i < 8; ++i)
        head = head << 8 | (i < length ? static_cast<unsigned char>(name[i]) : 0u);
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

// Takes the identity of the open directory when it is asked for, and, where the
// directory may hold subdirectories, marks those that are mount points; an entry of
// unknown kind learns its kind on the way. False with the error recorded when that
// cannot be told (a directory that may be read but not searched): a walk must not go
// on below it blind.
bool place_entries(int directory, bool identity_asked, Reading& reading) {
    reading.identity = DirectoryIdentity{};
    const auto may_be_directory = [](const Reading::Entry& entry) {
        return entry.rank == 2 && (entry.type == DT_DIR || entry.type == DT_UNKNOWN);
    };
    const bool subdirectories = std::any_of(reading.entries.begin(), reading.entries.end(), may_be_directory);
    if (!identity_asked && !subdirectories) return true;
    posix::MountPlace own;
    if (!posix::read_mount_place(directory, "", own)) {
        posix::record_errno(errno);
        return false;
    }
    reading.identity = own.identity;
    for (Reading::Entry& entry : reading.entries) {
        posix::MountPlace place;
        if (!may_be_directory(entry)) continue;
        if (!posix::read_mount_place(directory, reading.name_of(entry), place)) {
            if (errno == ENOENT) continue;  // gone since the directory was read
            posix::record_errno(errno);
            return false;
        }
        entry.type = type_of(place.mode);
        entry.mount_point = entry.type == DT_DIR && posix::crosses_mount(own, place);
    }
    return true;
}

// Reads every entry of an open directory whose name fits a DirectoryEntry, sorted. False
// with the error recorded when the directory cannot be searched.
bool read_entries(DIR* stream, bool identity_asked, Reading& reading) {
    reading.names.clear();
    reading.entries.clear();
    ino_t dot_numbers[2] = {0, 0};
    bool dots[2] = {false, false};
    while (const dirent* found = readdir(stream)) {
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
    // Known now, while the directory is open: a later search may want to report the dots.
    // Only where "." and ".." are listed as one file can the directory be the root; the
    // status calls that make sure are spared everywhere else.
    reading.root = dots[0] && dots[1] && dot_numbers[0] == dot_numbers[1] && is_root(dirfd(stream));
    if (!place_entries(dirfd(stream), identity_asked, reading)) return false;
    const char* names = reading.names.data();
    std::sort(reading.entries.begin(), reading.entries.end(),
              [names](const Reading::Entry& a, const Reading::Entry& b) {
                  if (a.rank != b.rank) return a.rank < b.rank;
                  if (a.head != b.head) return a.head < b.head;
                  return std::strcmp(names + a.name, names + b.name) < 0;
              });
    // A directory holds each name once, but one that changes while it is read may show
    // a name twice; the walk relies on never listing one path twice.
    const auto end = std::unique(reading.entries.begin(), reading.entries.end(),
                                 [names](const Reading::Entry& a, const Reading::Entry& b) {
                                     return a.head == b.head && std::strcmp(names + a.name, names + b.name) == 0;
                                 });
    reading.entries.erase(end, reading.entries.end());
    return true;
}

// Whether the kind of entry is enough and already known from the reading.
bool kind_suffices(const Reading::Entry& entry, FindDetail detail) {
    return (detail & FIND_KIND_ONLY) != 0 && entry.type != DT_UNKNOWN && entry.type != DT_LNK;
}

// Reads the details of a match from the file system; false when it has vanished.
bool read_details(int directory, const char* name, Search::Match& match) {
    posix::FileStatus status;
    if (!posix::read_status(directory, name, status)) return false;
    match.attributes = posix::attributes_of(directory, name, status.mode);
    match.creation_time = status.creation_time;
    match.last_access_time = status.last_access_time;
    match.last_write_time = status.last_write_time;
    match.size = S_ISLNK(status.mode) ? 0 : status.size;
    return true;
}

// The directory a search reads: opened for a new reading, or (for a search served
// from the kept one) only when the details of a match are needed. Closed at the end.
class OpenDirectory {
public:
    ~OpenDirectory() {
        if (stream_ != nullptr)
            closedir(stream_);
        else if (descriptor_ >= 0)
            close(descriptor_);
    }
    // Opens the directory for reading; false with the error recorded.
    bool read(const std::string& path) {
        stream_ = opendir(path.c_str());
        if (stream_ == nullptr) return failed();
        descriptor_ = dirfd(stream_);
        return true;
    }
    DIR* stream() const { return stream_; }
    // The descriptor, opened now if need be; -1 with the error recorded.
    int descriptor(const std::string& path) {
        if (descriptor_ < 0) {
            descriptor_ = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (descriptor_ < 0) failed();
        }
        return descriptor_;
    }

private:
    static bool failed() {
        // The directory itself is what is missing here, so this is always "path not found".
        posix::record_errno(errno, true);
        return false;
    }

    DIR* stream_ = nullptr;
    int descriptor_ = -1;
};

// The matches of the reading, with their details, in its order. False when the
// directory could not be opened for the details.
bool collect_matches(const Reading& reading, const char* file_pattern, FindDetail detail, const std::string& path,
                     OpenDirectory& directory, Search& search) {
    for (const Reading::Entry& entry : reading.entries) {
        const char* name = reading.name_of(entry);
        if ((reading.root && entry.rank < 2) || !wildcard_match(file_pattern, name, false)) continue;
        Search::Match match;
        if (kind_suffices(entry, detail)) {
            match.attributes = entry.type == DT_DIR ? ATTRIBUTE_DIRECTORY : ATTRIBUTE_ARCHIVE;
        } else {
            const int descriptor = directory.descriptor(path);
            if (descriptor < 0) return false;
            if (!read_details(descriptor, name, match)) {
                if (errno == ENOENT) continue;  // gone since the directory was read
                posix::record_errno(errno);
                return false;
            }
        }
        if (entry.mount_point) match.attributes |= ATTRIBUTE_REPARSE_POINT;
        match.name = search.names.size();
        search.names.append(name, std::strlen(name) + 1);
        search.matches.push_back(match);
    }
    return true;
}

bool serve_next(Search& search, DirectoryEntry& entry) {
    if (search.next >= search.matches.size()) {
        set_last_error(SYSTEM_ERROR_NO_MORE_FILES);
        return false;
    }
    const Search::Match& match = search.matches[search.next++];
    std::strcpy(entry.name, search.names.data() + match.name);
    entry.short_name[0] = '\0';
    entry.attributes = match.attributes;
    entry.creation_time = match.creation_time;
    entry.last_access_time = match.last_access_time;
    entry.last_write_time = match.last_write_time;
    entry.size_high = static_cast<std::uint32_t>(match.size >> 32);
    entry.size_low = static_cast<std::uint32_t>(match.size);
    return true;
}

}  // namespace

Search* find_first(const char* pattern, DirectoryEntry& entry, FindDetail detail) {
    if (!path_given(pattern)) return nullptr;
    const char* slash = std::strrchr(pattern, '/');
    std::string path = slash == nullptr ? "." : slash == pattern ? "/" : std::string(pattern, slash);
    const char* file_pattern = slash == nullptr ? pattern : slash + 1;

    OpenDirectory directory;
    const bool identity_asked = (detail & FIND_IDENTITY) != 0;
    const bool reuse = (detail & FIND_LAST_READING) != 0 && !last_reading.directory.empty() &&
                       last_reading.directory == path && (!identity_asked || last_reading.identity.known);
    if (!reuse) {
        last_reading.directory.clear();
        if (!directory.read(path)) return nullptr;
        if (!read_entries(directory.stream(), identity_asked, last_reading)) return nullptr;
        // A relative path names another directory once the current one changes.
        if (path[0] == '/') last_reading.directory = path;
    }
    Search* search = new Search;
    search->identity = last_reading.identity;
    if (!collect_matches(last_reading, file_pattern, detail, path, directory, *search)) {
        delete search;
        return nullptr;
    }
    if (search->matches.empty()) {
        delete search;
        set_last_error(SYSTEM_ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    serve_next(*search, entry);
    return search;
}

bool find_next(Search* search, DirectoryEntry& entry) {
    if (search == nullptr) {
        set_last_error(SYSTEM_ERROR_INVALID_HANDLE);
        return false;
    }
    return serve_next(*search, entry);
}

DirectoryIdentity search_identity(const Search* search) {
    return search != nullptr ? search->identity : DirectoryIdentity{};
}

void find_close(Search* search) { delete search; }

}  // namespace platform
