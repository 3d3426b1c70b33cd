// Directory search, served from a reading of the whole directory: the matches and their
// details are taken at the start, while the directory is open, so a search holds no
// descriptor while the caller works through it, however deeply searches nest.

#include <cstring>
#include <string>
#include <vector>

#include "platform/backend_helpers.h"
#include "platform/platform.h"

namespace rubo::platform {

struct Search {
    struct Match {
        std::size_t index = 0;  // of the entry in the reading
        EntryDetails details;
    };
    DirectoryReading reading;
    std::vector<Match> matches;
    std::size_t next = 0;
};

namespace {

// Whether the kind of entry is enough and already known from the reading.
bool kind_suffices(EntryKind kind, FindDetail detail) {
    return (detail & FIND_KIND_ONLY) != 0 && kind != EntryKind::REPARSE_POINT;
}

// The matches of the reading, with their details, in its order. False when the
// directory can no longer be searched.
bool collect_matches(const char* file_pattern, FindDetail detail, Search& search) {
    DirectoryEntry entry;
    for (std::size_t i = 0; i < search.reading.count(); ++i) {
        if (!wildcard_match(file_pattern, search.reading.name(i), Case::SENSITIVE)) continue;
        const EntryKind kind = search.reading.kind(i);
        Search::Match match{i, {}};
        if (kind_suffices(kind, detail)) {
            match.details.attributes = kind == EntryKind::DIRECTORY ? ATTRIBUTE_DIRECTORY : ATTRIBUTE_ARCHIVE;
        } else if (search.reading.details(i, entry)) {
            match.details = entry;
        } else if (last_error() == SYSTEM_ERROR_FILE_NOT_FOUND) {
            continue;  // gone since the directory was read
        } else {
            return false;
        }
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
    std::strcpy(entry.name, search.reading.name(match.index));
    entry.short_name[0] = '\0';
    static_cast<EntryDetails&>(entry) = match.details;
    return true;
}

}  // namespace

Search* find_first(const char* pattern, DirectoryEntry& entry, FindDetail detail) {
    if (!path_given(pattern)) return nullptr;
    const char* slash = std::strrchr(pattern, '/');
    const std::string path = slash == nullptr ? "." : slash == pattern ? "/" : std::string(pattern, slash);
    const char* file_pattern = slash == nullptr ? pattern : slash + 1;

    Search* search = new Search;
    Directory* directory = open_directory(path.c_str());
    const bool found = directory != nullptr && read_directory(directory, search->reading) &&
                       collect_matches(file_pattern, detail, *search);
    search->reading.release();
    close_directory(directory);
    if (found && search->matches.empty()) set_last_error(SYSTEM_ERROR_FILE_NOT_FOUND);
    if (!found || search->matches.empty()) {
        delete search;
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

}  // namespace rubo::platform
