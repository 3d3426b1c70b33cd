// Directory search: the whole directory is read at once, filtered with the wildcard
// matcher, sorted bytewise by name ("." and ".." first, as Windows lists them) and
// then handed out one entry at a time. The details of every match are read while the
// directory is open, so a search holds no descriptor while the caller works through
// it, however deeply searches nest.

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
        int rank = 0;          // 0 for ".", 1 for "..", 2 for every other name
        unsigned char type = DT_UNKNOWN;
        std::uint32_t attributes = 0;
        FileTime creation_time = 0;
        FileTime last_access_time = 0;
        FileTime last_write_time = 0;
        std::uint64_t size = 0;
    };
    std::string names;
    std::vector<Match> matches;
    std::size_t next = 0;
};

namespace {

int rank_of(const char* name) {
    if (std::strcmp(name, ".") == 0) return 0;
    if (std::strcmp(name, "..") == 0) return 1;
    return 2;
}

// Whether the open directory is the root, where Windows reports no "." and "..".
bool is_root(int directory) {
    struct stat self, parent;
    return fstat(directory, &self) == 0 && fstatat(directory, "..", &parent, 0) == 0 && self.st_dev == parent.st_dev &&
           self.st_ino == parent.st_ino;
}

// Fills in what the caller asked to know of a match; false when it has vanished.
bool read_details(int directory, const char* name, FindDetail detail, Search::Match& match) {
    bool kind_known = match.type != DT_UNKNOWN && match.type != DT_LNK;
    if (detail == FIND_KIND_ONLY && kind_known) {
        match.attributes = match.type == DT_DIR ? ATTRIBUTE_DIRECTORY : ATTRIBUTE_ARCHIVE;
        return true;
    }
    posix::FileStatus status;
    if (!posix::read_status(directory, name, status)) return false;
    match.attributes = posix::attributes_of(directory, name, status.mode);
    match.creation_time = status.creation_time;
    match.last_access_time = status.last_access_time;
    match.last_write_time = status.last_write_time;
    match.size = S_ISLNK(status.mode) ? 0 : status.size;
    return true;
}

// Reads the matching entries of an open directory into `search`.
void collect_matches(DIR* stream, const char* file_pattern, FindDetail detail, Search& search) {
    int directory = dirfd(stream);
    bool dots_matched = false;
    while (const dirent* found = readdir(stream)) {
        std::size_t length = std::strlen(found->d_name);
        if (length >= sizeof DirectoryEntry::name || !wildcard_match(file_pattern, found->d_name, false)) continue;
        Search::Match match;
        match.name = search.names.size();
        match.rank = rank_of(found->d_name);
        match.type = found->d_type;
        dots_matched = dots_matched || match.rank < 2;
        search.names.append(found->d_name, length + 1);
        search.matches.push_back(match);
    }
    if (dots_matched && is_root(directory))
        std::erase_if(search.matches, [](const Search::Match& match) { return match.rank < 2; });
    const char* names = search.names.data();
    std::sort(search.matches.begin(), search.matches.end(), [names](const Search::Match& a, const Search::Match& b) {
        if (a.rank != b.rank) return a.rank < b.rank;
        return std::strcmp(names + a.name, names + b.name) < 0;
    });
    std::size_t kept = 0;
    for (Search::Match& match : search.matches)
        if (read_details(directory, names + match.name, detail, match)) search.matches[kept++] = match;
    search.matches.resize(kept);
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
    std::string directory = slash == nullptr ? "." : slash == pattern ? "/" : std::string(pattern, slash);
    const char* file_pattern = slash == nullptr ? pattern : slash + 1;

    int descriptor = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* stream = descriptor >= 0 ? fdopendir(descriptor) : nullptr;
    if (stream == nullptr) {
        int error = errno;
        if (descriptor >= 0) close(descriptor);
        // The directory itself is what is missing here, so this is always "path not found".
        posix::record_errno(error, true);
        return nullptr;
    }
    Search* search = new Search;
    collect_matches(stream, file_pattern, detail, *search);
    closedir(stream);
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

void find_close(Search* search) { delete search; }

}  // namespace platform
