#pragma once
// The directory walk: lists the entries that match one absolute pattern (a directory
// and a file name with the wildcards * and ?) and, when asked, the matches of the same
// file-name pattern in every subdirectory below, depth first. Matching is the
// platform's directory search; the walk adds no wildcard rules of its own.
//
// The walk never descends into an entry that carries the reparse-point attribute (a
// symbolic link or junction): following one could reach files outside the named tree
// or loop forever. Such an entry that matches the pattern is listed like a file.

#include <cstdint>

#include "core/collection.h"
#include "core/date_time.h"
#include "core/path_list.h"
#include "core/string.h"
#include "core/type_name.h"
#include "platform/platform.h"

namespace rubo {

// Walk flags: a set of the WALK_ bits below (the resolver adds bits of its own).
using WalkFlags = std::uint32_t;
inline constexpr WalkFlags WALK_DIRECTORIES = 0x01;    // list matching directories too ("." and ".." never)
inline constexpr WalkFlags WALK_RECURSE = 0x02;        // search every subdirectory below as well
inline constexpr WalkFlags WALK_NAMES_ONLY = 0x04;     // reduce each path to its file name
inline constexpr WalkFlags WALK_NO_EXTENSIONS = 0x08;  // remove each path's extension
inline constexpr WalkFlags WALK_APPEND = 0x10;         // keep what the output held
inline constexpr WalkFlags WALK_REVERSE = 0x20;        // reverse the chosen sort order
inline constexpr WalkFlags WALK_SORT_BY_TIME = 0x40;   // newest first (oldest with WALK_REVERSE)
inline constexpr WalkFlags WALK_SORT_BY_NAME = 0x80;   // A to Z ignoring case (Z to A with WALK_REVERSE)

// One entry of a directory search.
struct FileEntry {
    DateTime last_access_time;
    std::uint32_t attributes = 0;
    DateTime last_write_time;
    DateTime creation_time;
    String name;        // the (long) name, without directory
    String short_name;  // the alternate short name; empty where the platform has none
    std::int64_t size = 0;
};

// The search state is process-wide: one current search and search_stack, the searches
// saved beneath it. Every find_first_entry is followed by exactly one end_find, whether
// or not it found anything, so searches nest.

// Saves the current search, starts a new one for the pattern and fills the entry (when
// one is given) with its first match. False when nothing matches or the directory
// cannot be searched. With FIND_KIND_ONLY only the name and the directory and
// reparse-point bits of the attributes are sure to be filled.
bool find_first_entry(const char* pattern, FileEntry* entry, platform::FindDetail detail = platform::FIND_ALL_DETAILS);
// The current search's next match; false at its end or without a current search.
bool find_next_entry(FileEntry* entry);
// Ends the current search and makes the saved one current again; does nothing when no
// search is saved.
void end_find();

// Lists the matches of the pattern into output (cleared first unless WALK_APPEND is
// set) and answers the total size of what it listed, never negative. A pattern ending
// in " /s" (any case) recurses as with WALK_RECURSE. A pattern without a file-name part
// matches nothing. A directory that cannot be searched contributes nothing.
//
// Order: the pattern's own directory first (in the platform's order, or sorted), then
// each subdirectory's complete result in the order the platform lists them. A sort
// never crosses directory boundaries; with WALK_APPEND the first sort takes in what the
// output held. The reductions (WALK_NAMES_ONLY, WALK_NO_EXTENSIONS) apply to the paths
// this call lists, each once; what the output held before stays as it was.
std::int64_t collect_files(PathList& output, WalkFlags flags, String pattern);

// One pattern of collect_files_together and what the walk found for it: the paths, their
// total size, and which directory the pattern's own directory was when the walk read it
// (known once the walk has read it), so that a deletion can make sure it still is.
struct WalkRequest {
    String pattern;
    PathList found;
    std::int64_t total = 0;
    platform::DirectoryIdentity searched;
};

// A directory the walk could not search (it could not be opened, read or searched, or it
// vanished on the way), and the system's error number for it.
struct SearchFailure {
    String directory;
    std::uint32_t error = 0;
};

template <> struct TypeName<SearchFailure> {
    static const char* name() { return "struct SearchFailure"; }
};

// How far a walk has got, for a caller that shows it while a long search runs. The walk
// counts the files it has listed and the directories it has read, and calls report()
// after every report_interval-th directory, so that what a report costs (reading a
// clock, say) is spread over many directories.
class WalkProgress {
public:
    static constexpr std::int64_t report_interval = 16;

    std::int64_t files = 0;
    std::int64_t directories = 0;

    // Counts one directory read and the files listed from it.
    void count_directory(std::int64_t listed) {
        files += listed;
        if (++directories % report_interval == 0) report();
    }

protected:
    ~WalkProgress() = default;
    virtual void report() = 0;
};

// Runs collect_files for each request's pattern with the same flags, into its `found`
// (cleared first unless WALK_APPEND is set), and sets its `total`: each request gets
// exactly what collect_files would give it. The walks go down the tree together, so
// that each directory is read once for all the patterns of a level that search it.
//
// A directory that cannot be searched contributes nothing (not even the names that
// could be read in it) and is not walked below; with `failures` given, it is appended
// there, once for each pattern that met it. A request's own directory that is missing is
// no failure: its pattern simply matches nothing. With `progress` given, the walk counts
// there what it reads and lists.
void collect_files_together(WalkRequest* requests, std::int32_t count, WalkFlags flags,
                            Collection<SearchFailure>* failures = nullptr, WalkProgress* progress = nullptr);

}  // namespace rubo
