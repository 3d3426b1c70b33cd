#include "resolve/walk.h"

#include <cstdint>
#include <utility>

#include "core/boxed_vector.h"
#include "core/flat_vector.h"
#include "core/paths.h"
#include "core/sort_strings.h"
#include "core/startup_objects.h"
#include "resolve/read_ahead.h"
#include "resolve/walk_order.h"

namespace rubo {

namespace {
struct Target;
}  // namespace

template <> struct TypeName<String*> {
    static const char* name() { return "class String *"; }
};
template <> struct TypeName<Target> {
    static const char* name() { return "struct Target"; }
};

namespace {

std::int64_t size_of(const platform::EntryDetails& found) {
    return static_cast<std::int64_t>((std::uint64_t{found.size_high} << 32) | found.size_low);
}

// Adds a size unless the sum would pass the largest total (or the size is not positive).
void add_size(std::int64_t& total, std::int64_t size) {
    if (size > 0 && total <= INT64_MAX - size) total += size;
}

bool is_directory(std::uint32_t attributes) { return (attributes & platform::ATTRIBUTE_DIRECTORY) != 0; }

void reduce(String& path, WalkFlags flags) {
    if ((flags & WALK_NAMES_ONLY) != 0) strip_directory(path);
    if ((flags & WALK_NO_EXTENSIONS) != 0) strip_extension(path);
}

// Whether a target's matches are sorted or reduced: then they are gathered apart and
// go to the output once they are in order.
bool reorders(WalkFlags flags) {
    return (flags & (WALK_SORT_BY_TIME | WALK_SORT_BY_NAME | WALK_NAMES_ONLY | WALK_NO_EXTENSIONS)) != 0;
}

// Sorts and reduces a directory's matches, gathered apart, and appends them to the
// output. The sort of a pattern's own directory (`first_level`) takes in what the output
// held; the reductions apply to the gathered matches only.
void order_and_reduce(PathList& output, const PathList& gathered, WalkFlags flags, bool first_level) {
    const WalkFlags sort_bits = flags & (WALK_SORT_BY_TIME | WALK_SORT_BY_NAME);
    const bool reverse = (flags & WALK_REVERSE) != 0;
    const bool reducing = (flags & (WALK_NAMES_ONLY | WALK_NO_EXTENSIONS)) != 0;
    BoxedVector<String> paths;
    if (first_level && sort_bits != 0) {
        for (const String& path : output) paths.append(path);
        output.clear();
    }
    const std::int32_t held = paths.count;
    for (const String& path : gathered) paths.append(path);
    // The gathered elements by address: a sort moves only the pointers to them.
    FlatVector<String*> own;
    for (std::int32_t i = held; i < paths.count && reducing; ++i) own.append(paths.at(i));
    if (sort_bits == WALK_SORT_BY_TIME) paths.sort(reverse ? compare_oldest_first : compare_newest_first);
    if (sort_bits == WALK_SORT_BY_NAME) sort_strings(paths, reverse);
    for (std::int32_t i = 0; i < own.count; ++i) reduce(**own.at(i), flags);
    if (sort_bits == (WALK_SORT_BY_TIME | WALK_SORT_BY_NAME)) sort_strings(paths, reverse);
    for (const String& path : paths) output.append(path);
}

// What join_path puts in front of a name of the directory: the directory and, where it
// needs one, a separator. (A name read from a directory never begins with a separator.)
String name_prefix(const String& directory) {
    String prefix = join_path(directory.text(), "-");
    prefix.remove_right(1);
    return prefix;
}

// One pattern on its way down the tree: where its matches go, its flags, what it has
// found at this level, and the reading of its own directory.
struct Target {
    PathList* output = nullptr;
    WalkFlags flags = 0;
    String pattern;  // as the caller named it (empty for a subdirectory's target)
    String dir;      // the pattern's directory
    String filter;   // its file-name part; empty when the pattern names no file
    std::int64_t total = 0;
    // Where the identity of the pattern's own directory goes, for a pattern the caller
    // named (not for the subdirectories the walk goes through).
    platform::DirectoryIdentity* searched = nullptr;
    Collection<SearchFailure>* failures = nullptr;  // where directories that cannot be searched go
    WalkProgress* progress = nullptr;               // where the walk counts what it reads
    ReadAhead* ahead = nullptr;                     // what reads the directories
    // For a subdirectory's target, the target above whose walk it continues: its matches
    // follow what the output held, and its total goes to that target.
    Target* above = nullptr;
    std::int32_t listed = 0;  // how many paths list_own listed
    bool below = false;       // whether it goes on into the subdirectories
    // The own directory is read for the first target of this level that has that
    // directory (`reader`), for all of them: the reader holds the job that reads it (for
    // a subdirectory, the one read ahead) and, once read, what was read.
    Target* reader = nullptr;
    // For a reader: whether a target of its directory is to know its identity.
    platform::ReadIdentity identity_wanted = platform::ReadIdentity::SKIP;
    ReadJob* job = nullptr;
    DirectoryRead* read = nullptr;
};

// Readies a target for its own directory; false when its pattern names no file (a
// pattern that ends in a separator: searching below for an empty name would turn every
// directory name into a pattern). Only a pattern the caller named is taken apart: a
// subdirectory's target is given its directory and file-name part as they are, since a
// subdirectory's name may end in what would read as the recursion suffix or a separator.
bool prepare(Target& target) {
    target.listed = 0;
    target.below = false;
    target.reader = nullptr;
    target.identity_wanted = platform::ReadIdentity::SKIP;
    if (target.above != nullptr) return true;
    if ((target.flags & WALK_APPEND) == 0) target.output->clear();
    if (target.pattern.remove_suffix(" /s")) target.flags |= WALK_RECURSE;
    target.filter = file_name_part(target.pattern.text());
    if (target.filter.length() == 0) return false;
    target.dir = directory_part(target.pattern.text());
    return true;
}

// Finds, for each prepared target of a level, the target that reads its directory: the
// first one with that directory. The reader takes the directory's identity when any of
// them is to know it. A subdirectory's targets share one directory, whose job the first
// of them was given.
void assign_readers(BoxedVector<Target>& targets) {
    for (std::int32_t i = 0; i < targets.count; ++i) {
        Target& target = *targets.at(i);
        if (target.filter.length() == 0) continue;
        for (std::int32_t j = 0; target.reader == nullptr; ++j) {
            Target& other = *targets.at(j);
            if (other.filter.length() > 0 && other.dir.compare(target.dir, Case::SENSITIVE) == 0)
                target.reader = &other;
        }
        if (target.searched != nullptr && !target.searched->known)
            target.reader->identity_wanted = platform::ReadIdentity::TAKE;
    }
}

// Starts the job of each reader that has none yet (the level's own directories): its
// entries are matched for every target of its directory, and what lies below is read
// ahead for those that recurse.
void start_jobs(BoxedVector<Target>& targets) {
    for (Target& reader : targets) {
        if (reader.reader != &reader || reader.job != nullptr) continue;
        BoxedVector<String> patterns;
        BoxedVector<String> below;
        for (const Target& target : targets) {
            if (target.reader != &reader) continue;
            patterns.append(target.filter);
            if ((target.flags & WALK_RECURSE) != 0) below.append(target.filter);
        }
        reader.job = reader.ahead->start(reader.dir, reader.identity_wanted, patterns, below);
    }
}

// The target's own directory as its reader read it; taken now by the reader itself.
DirectoryRead& own_read(Target& target) {
    Target& reader = *target.reader;
    if (&reader == &target) target.read = &target.ahead->take(target.job);
    if (target.searched != nullptr && !target.searched->known && reader.read->error == 0)
        *target.searched = reader.read->reading.identity();
    return *reader.read;
}

// Records a directory of the target's that cannot be searched, unless it is the missing
// own directory of a pattern the caller named: that pattern simply matches nothing.
void note_failure(const Target& target, platform::ErrorCode error) {
    if (target.searched != nullptr && error == platform::SYSTEM_ERROR_PATH_NOT_FOUND) return;
    if (target.failures != nullptr) target.failures->append(SearchFailure{target.dir, error});
}

// Lists the matches of the target's pattern in its own directory, from its reader's
// reading; only the matches' details are read. True when the directory could be searched.
bool list_own(Target& target) {
    DirectoryRead& read = own_read(target);
    if (read.error != 0) {
        note_failure(target, read.error);
        return false;
    }
    const platform::DirectoryReading& reading = read.reading;
    PathList gathered;
    PathList& listing = reorders(target.flags) ? gathered : *target.output;
    const std::int32_t held = listing.count;
    const String prefix = name_prefix(target.dir);
    std::int64_t total = 0;
    platform::EntryDetails found;
    for (std::size_t i = 0; i < reading.count(); ++i) {
        const char* name = reading.name(i);
        if (!platform::wildcard_match(target.filter.text(), name, path_case)) continue;
        if (const platform::ErrorCode error = read.details(i, found); error != 0) {
            if (error == platform::SYSTEM_ERROR_FILE_NOT_FOUND) continue;  // gone since the reading
            listing.keep_first(held);
            note_failure(target, error);
            return false;
        }
        if (is_directory(found.attributes) && ((target.flags & WALK_DIRECTORIES) == 0 || is_dot_name(name))) continue;
        listing.append(prefix, name);
        add_size(total, size_of(found));
    }
    add_size(target.total, total);
    target.listed = listing.count - held;
    if (&listing == &gathered) order_and_reduce(*target.output, gathered, target.flags, target.above == nullptr);
    return true;
}

void walk_level(BoxedVector<Target>& targets);

// Runs the walk in every subdirectory of the target's own directory (links to
// directories excepted) for the file-name pattern of each target of the level that
// shares that directory and recurses, and appends each subdirectory's results in the
// order of the reading.
void walk_below(BoxedVector<Target>& targets, Target& first) {
    BoxedVector<Target> inner;
    for (std::int32_t i = 0; i < targets.count; ++i) {
        Target& target = *targets.at(i);
        if (!target.below || target.reader != first.reader) continue;
        target.below = false;
        Target* continued = inner.append(nullptr);
        continued->above = &target;
        continued->output = target.output;
        continued->flags = target.flags;
        continued->failures = target.failures;
        continued->progress = target.progress;
        continued->ahead = target.ahead;
    }
    ReadJob* job = first.reader->job;
    const platform::DirectoryReading& reading = first.reader->read->reading;
    std::int32_t subdirectories = 0;
    for (std::size_t entry = 0; entry < reading.count(); ++entry) {
        if (!is_subdirectory(reading, entry)) continue;
        inner.at(0)->job = ReadAhead::child(job, subdirectories++);
        const String subdirectory = join_path(first.dir.text(), reading.name(entry));
        for (std::int32_t i = 0; i < inner.count; ++i) {
            Target& continued = *inner.at(i);
            continued.dir = subdirectory;
            continued.filter = continued.above->filter;
            continued.total = 0;
        }
        walk_level(inner);
        for (std::int32_t i = 0; i < inner.count; ++i) add_size(inner.at(i)->above->total, inner.at(i)->total);
    }
}

// Lists each target's own matches, then walks the subdirectories for those that
// recurse, once for all targets that share a directory. Each target ends up with what
// a walk of its pattern alone would have given it.
void walk_level(BoxedVector<Target>& targets) {
    bool searched = false;
    for (std::int32_t i = 0; i < targets.count; ++i) searched = prepare(*targets.at(i)) || searched;
    assign_readers(targets);
    start_jobs(targets);
    std::int64_t listed = 0;
    for (std::int32_t i = 0; i < targets.count; ++i) {
        Target& target = *targets.at(i);
        if (target.filter.length() == 0) continue;
        target.below = list_own(target) && (target.flags & WALK_RECURSE) != 0;
        listed += target.listed;
    }
    if (searched && targets.at(0)->progress != nullptr) targets.at(0)->progress->count_directory(listed);
    for (std::int32_t i = 0; i < targets.count; ++i)
        if (targets.at(i)->below) walk_below(targets, *targets.at(i));
    for (Target& reader : targets) {
        if (reader.job == nullptr) continue;
        reader.ahead->finish(reader.job);
        reader.job = nullptr;
        reader.read = nullptr;
    }
}

// Adds a target for a pattern the caller named.
Target& add_target(BoxedVector<Target>& targets, PathList& output, WalkFlags flags, String pattern, ReadAhead& ahead) {
    Target& target = *targets.append(nullptr);
    target.output = &output;
    target.flags = flags;
    target.pattern = std::move(pattern);
    target.ahead = &ahead;
    return target;
}

// The search state behind find_first_entry and find_next_entry: the current search,
// and the searches it interrupted on search_stack.
platform::Search* current_search = nullptr;

void fill_entry(FileEntry& entry, const platform::DirectoryEntry& found) {
    entry.last_access_time = universal_date_time(found.last_access_time);
    entry.attributes = found.attributes;
    entry.last_write_time = universal_date_time(found.last_write_time);
    entry.creation_time = universal_date_time(found.creation_time);
    entry.name = found.name;
    entry.short_name = found.short_name;
    entry.size = size_of(found);
}

bool next_found(platform::DirectoryEntry& found) {
    if (current_search == nullptr) return false;
    do {
        if (!platform::find_next(current_search, found)) return false;
    } while (found.name[0] == '\0');
    return true;
}

bool first_found(const char* pattern, platform::DirectoryEntry& found, platform::FindDetail detail) {
    search_stack().push(current_search);
    current_search = platform::find_first(pattern, found, detail);
    if (current_search == nullptr) return false;
    return found.name[0] != '\0' || next_found(found);
}

}  // namespace

bool find_first_entry(const char* pattern, FileEntry* entry, platform::FindDetail detail) {
    platform::DirectoryEntry found;
    if (!first_found(pattern, found, detail)) return false;
    if (entry != nullptr) fill_entry(*entry, found);
    return true;
}

bool find_next_entry(FileEntry* entry) {
    platform::DirectoryEntry found;
    if (!next_found(found)) return false;
    if (entry != nullptr) fill_entry(*entry, found);
    return true;
}

void end_find() {
    if (search_stack().count == 0) return;
    platform::find_close(current_search);
    current_search = static_cast<platform::Search*>(search_stack().pop());
}

std::int64_t collect_files(PathList& output, WalkFlags flags, String pattern) {
    ReadAhead ahead;
    BoxedVector<Target> targets;
    Target& target = add_target(targets, output, flags, std::move(pattern), ahead);
    walk_level(targets);
    return target.total;
}

void collect_files_together(WalkRequest* requests, std::int32_t count, WalkFlags flags,
                            Collection<SearchFailure>* failures, WalkProgress* progress) {
    ReadAhead ahead;
    BoxedVector<Target> targets;
    for (std::int32_t i = 0; i < count; ++i) {
        Target& target = add_target(targets, requests[i].found, flags, requests[i].pattern, ahead);
        target.searched = &requests[i].searched;
        target.failures = failures;
        target.progress = progress;
        requests[i].searched = platform::DirectoryIdentity{};
    }
    walk_level(targets);
    for (std::int32_t i = 0; i < targets.count; ++i) requests[i].total = targets.at(i)->total;
}

}  // namespace rubo
