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
#include <vector>

#include "core/collection.h"
#include "core/date_time.h"
#include "core/flat_vector.h"
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

// A directory that files were listed from, or that lies on the way down to one: which
// directory it was when the walk read it, and the record of the directory above it (-1
// for the directory a pattern was searched in). A deletion can insist that every
// directory on a file's way still be the one that was read.
struct DirectoryRecord {
    std::int32_t parent = -1;
    platform::DirectoryIdentity identity;
};

template <> struct TypeName<DirectoryRecord> {
    static const char* name() { return "struct DirectoryRecord"; }
};

// A run of consecutive paths of a request's list that were all found in one directory,
// the record at index `directory`.
struct FoundRun {
    std::int32_t directory = 0;
    std::int32_t files = 0;
};

// One pattern of collect_files_together and what the walk found for it: the paths, their
// total size, and, where the walk keeps records of directories, the runs of the paths.
// Where it keeps only so many paths that an earlier request lists too (see WalkShared),
// `left_out` counts those it did not keep, the first of them where `left_out_from` paths
// had been kept.
struct WalkRequest {
    String pattern;
    PathList found;
    std::int64_t total = 0;
    std::vector<FoundRun> runs;
    std::int64_t left_out = 0;
    std::int32_t left_out_from = -1;
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

// What the requests of one walk share. `failures`: where the directories that cannot be
// searched go, once each. `progress`: where the walk counts what it reads and lists.
// `directories`: where the records of the directories that files were listed from (and
// of those on the way down to them) go; each request's runs refer to them. `repeat_room`:
// how many bytes of paths that an earlier request of the walk lists as well (from the
// same directory, under the same name) its later requests may keep, all together (the
// earlier a request, the larger its share); past that such paths are counted as left out
// instead. A negative room keeps them all, and so does a walk that sorts or reduces paths.
struct WalkShared {
    Collection<SearchFailure>* failures = nullptr;
    WalkProgress* progress = nullptr;
    FlatVector<DirectoryRecord>* directories = nullptr;
    std::int64_t repeat_room = -1;
};

// Runs collect_files for each request's pattern with the same flags, into its `found`
// (cleared first unless WALK_APPEND is set), and sets its `total`: each request gets
// exactly what collect_files would give it, but for the repeats that `repeat_room` leaves
// out. The walks go down the tree together, so that each directory is read once for all
// the patterns of a level that search it.
//
// A directory that cannot be searched contributes nothing (not even the names that
// could be read in it) and is not walked below; it is appended to the shared failures
// once. A request's own directory that is missing is no failure: its pattern simply
// matches nothing. The walk keeps its state for each level of the tree on the heap, so
// no depth is too deep for it.
void collect_files_together(WalkRequest* requests, std::int32_t count, WalkFlags flags, const WalkShared& shared = {});

}  // namespace rubo
