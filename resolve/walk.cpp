#include "resolve/walk.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <utility>
#include <vector>

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

// One pattern the caller named, on its way down the tree.
struct Target {
    PathList* output = nullptr;
    WalkFlags flags = 0;
    String pattern;
    String dir;     // the pattern's directory
    String filter;  // its file-name part; empty when the pattern names no file
    std::int64_t total = 0;
    WalkRequest* request = nullptr;  // where its runs and left-out repeats go, if anywhere
    PathList gathered;               // a directory's matches, while they are sorted or reduced
    std::int64_t repeats = 0;        // bytes of the paths kept that an earlier target lists too
    std::int32_t listed = 0;         // how many paths it listed in the directory at hand
};

// One directory of the walk's way down: its job and what was read, where the path of the
// directory ends in the walk's path (and where its prefix, with a separator, ends), the
// next of its subdirectories to go down, its record once one was needed, and the targets
// that go on below it.
struct Level {
    ReadJob* job = nullptr;
    DirectoryRead* read = nullptr;
    std::int32_t directory_length = 0;
    std::int32_t prefix_length = 0;
    std::size_t next_entry = 0;
    std::int32_t next_child = 0;
    std::int32_t record = -1;
    std::vector<std::int32_t> going;
};

// Readies a target for its own directory; false when its pattern names no file (a
// pattern that ends in a separator: searching below for an empty name would turn every
// directory name into a pattern).
bool prepare(Target& target) {
    if ((target.flags & WALK_APPEND) == 0) target.output->clear();
    if (target.pattern.remove_suffix(" /s")) target.flags |= WALK_RECURSE;
    target.filter = file_name_part(target.pattern.text());
    if (target.filter.length() == 0) return false;
    target.dir = directory_part(target.pattern.text());
    return true;
}

// A walk of the targets that share one directory, down the tree, one level after another
// on a stack of its own.
class GroupWalk {
public:
    GroupWalk(BoxedVector<Target>& targets, ReadAhead& ahead, const WalkShared& shared)
        : targets_(targets), ahead_(ahead), shared_(shared) {}

    // Walks the directory of the targets at `members`, which all have it.
    void run(const std::vector<std::int32_t>& members) {
        Target& first = *targets_.at(members[0]);
        BoxedVector<String> patterns;
        BoxedVector<String> below;
        for (const std::int32_t member : members) {
            const Target& target = *targets_.at(member);
            patterns.append(target.filter);
            if ((target.flags & WALK_RECURSE) != 0) below.append(target.filter);
        }
        top_directory_ = first.dir;
        path_ = name_prefix(first.dir);
        Level& top = level(0);
        top.job = ahead_.start(first.dir, patterns, below);
        top.directory_length = first.dir.length();
        enter(0, members);
        for (std::int32_t depth = 0; depth >= 0;) {
            if (descend(depth))
                ++depth;
            else
                leave(depth--);
        }
    }

private:
    Level& level(std::int32_t depth) {
        while (static_cast<std::int32_t>(levels_.size()) <= depth) levels_.emplace_back();
        return levels_[static_cast<std::size_t>(depth)];
    }

    // Goes down into the next subdirectory of the level, if there is one to go down.
    bool descend(std::int32_t depth) {
        Level& above = level(depth);
        if (above.going.empty()) return false;
        const platform::DirectoryReading& reading = above.read->reading;
        while (above.next_entry < reading.count() && !is_subdirectory(reading, above.next_entry)) ++above.next_entry;
        if (above.next_entry >= reading.count()) return false;
        const char* name = reading.name(above.next_entry++);
        Level& below = level(depth + 1);
        below.job = ReadAhead::child(above.job, above.next_child++);
        path_.remove_right(path_.length() - above.prefix_length);
        path_.append(name);
        below.directory_length = path_.length();
        const char separator[] = {NativePaths::separator, '\0'};
        path_.append(separator);
        enter(depth + 1, above.going);
        return true;
    }

    void leave(std::int32_t depth) {
        Level& done = level(depth);
        ahead_.finish(done.job);
        done.job = nullptr;
        done.read = nullptr;
    }

    // The level's directory as the walk names it.
    String directory(std::int32_t depth) {
        if (depth == 0) return top_directory_;
        String named;
        named.assign(path_.text(), level(depth).directory_length);
        return named;
    }

    // Records a directory that cannot be searched, unless it is the missing own directory
    // of the patterns the caller named: they simply match nothing.
    void note_failure(std::int32_t depth, platform::ErrorCode error) {
        if (depth == 0 && error == platform::SYSTEM_ERROR_PATH_NOT_FOUND) return;
        if (shared_.failures != nullptr) shared_.failures->append(SearchFailure{directory(depth), error});
    }

    // The record of the level's directory, made with those of the directories above it
    // that have none yet.
    std::int32_t record(std::int32_t depth) {
        std::int32_t from = depth;
        while (from >= 0 && level(from).record < 0) --from;
        for (std::int32_t d = from + 1; d <= depth; ++d) {
            Level& at = level(d);
            at.record = shared_.directories->count;
            shared_.directories->append(DirectoryRecord{d == 0 ? -1 : level(d - 1).record, at.read->identity});
        }
        return level(depth).record;
    }

    // Which of the candidates can search the directory: those that match no entry whose
    // details could not be read (an entry gone since the reading aside).
    void searching(DirectoryRead& read, const std::vector<std::int32_t>& candidates, std::vector<std::int32_t>& able,
                   platform::ErrorCode& error) {
        for (const std::int32_t candidate : candidates) {
            const Target& target = *targets_.at(candidate);
            bool fails = false;
            for (const MatchDetails& match : read.matches) {
                if (match.error == 0 || match.error == platform::SYSTEM_ERROR_FILE_NOT_FOUND) continue;
                if (!platform::wildcard_match(target.filter.text(), read.reading.name(match.entry), path_case))
                    continue;
                fails = true;
                error = match.error;
                break;
            }
            if (!fails) able.push_back(candidate);
        }
    }

    // Keeps the path of an entry a target lists that an earlier target listed too, while
    // the target's share of the room for them lasts; past that counts it as left out. The
    // shares halve from one target to the next (the second gets half the room, the third a
    // quarter, ...), since an earlier target's repeats come first among the messages they
    // are kept for; and once a target has left one out, no later target keeps any.
    void repeat(std::int32_t member, Target& target, const char* name) {
        WalkRequest& request = *target.request;
        const std::int64_t bytes = path_.length() + static_cast<std::int64_t>(std::strlen(name));
        const std::int64_t share = shared_.repeat_room >> std::min(member, 62);
        if (request.left_out == 0 && member < first_leaving_out_ && target.repeats + bytes <= share) {
            target.repeats += bytes;
            target.output->append(path_, name);
            ++target.listed;
            return;
        }
        if (request.left_out++ == 0) request.left_out_from = target.output->count;
        first_leaving_out_ = std::min(first_leaving_out_, member);
    }

    // Reads the level's directory and lists the matches of the candidates there; those that
    // recurse and could search it go on below.
    void enter(std::int32_t depth, const std::vector<std::int32_t>& candidates) {
        Level& at = level(depth);
        at.read = &ahead_.take(at.job);
        at.prefix_length = path_.length();
        at.next_entry = 0;
        at.next_child = 0;
        at.record = -1;
        at.going.clear();
        DirectoryRead& read = *at.read;
        if (read.error != 0) return note_failure(depth, read.error);
        std::vector<std::int32_t> able;
        platform::ErrorCode error = 0;
        searching(read, candidates, able, error);
        if (able.size() < candidates.size()) note_failure(depth, error);
        const WalkFlags flags = targets_.at(candidates[0])->flags;
        const bool reordering = reorders(flags);
        const bool counting_repeats = shared_.repeat_room >= 0 && !reordering;
        for (const std::int32_t member : able) targets_.at(member)->listed = 0;
        const platform::DirectoryReading& reading = read.reading;
        platform::EntryDetails found;
        for (std::size_t i = 0; i < reading.count(); ++i) {
            const char* name = reading.name(i);
            bool first = true;
            for (const std::int32_t member : able) {
                Target& target = *targets_.at(member);
                if (!platform::wildcard_match(target.filter.text(), name, path_case)) continue;
                if (first && read.details(i, found) != 0) break;  // gone since the reading
                if (is_directory(found.attributes) && ((flags & WALK_DIRECTORIES) == 0 || is_dot_name(name))) break;
                add_size(target.total, size_of(found));
                if (!first && counting_repeats && target.request != nullptr) {
                    repeat(member, target, name);
                } else {
                    (reordering ? target.gathered : *target.output).append(path_, name);
                    ++target.listed;
                }
                first = false;
            }
        }
        std::int64_t listed = 0;
        for (const std::int32_t member : able) {
            Target& target = *targets_.at(member);
            listed += target.listed;
            if (reordering) {
                order_and_reduce(*target.output, target.gathered, flags, depth == 0);
                target.gathered.clear();
            }
            if (target.listed > 0 && target.request != nullptr && shared_.directories != nullptr)
                target.request->runs.push_back(FoundRun{record(depth), target.listed});
            if ((target.flags & WALK_RECURSE) != 0) at.going.push_back(member);
        }
        if (shared_.progress != nullptr) shared_.progress->count_directory(listed);
    }

    BoxedVector<Target>& targets_;
    ReadAhead& ahead_;
    const WalkShared& shared_;
    std::int32_t first_leaving_out_ = INT32_MAX;  // the first target that left a repeat out
    std::deque<Level> levels_;  // every level the walk has been at; those above the deepest are reused
    String top_directory_;
    String path_;  // the prefix of the deepest directory entered: its path and a separator
};

// Walks each group of targets that share a directory, in the order of their first.
void walk(BoxedVector<Target>& targets, const WalkShared& shared) {
    ReadAhead ahead;
    GroupWalk group(targets, ahead, shared);
    FlatVector<int> grouped;  // whether a target's directory has been walked (or it names no file)
    for (std::int32_t i = 0; i < targets.count; ++i) grouped.append(!prepare(*targets.at(i)));
    for (std::int32_t i = 0; i < targets.count; ++i) {
        if (*grouped.at(i)) continue;
        std::vector<std::int32_t> members;
        for (std::int32_t j = i; j < targets.count; ++j) {
            if (*grouped.at(j) || targets.at(j)->dir.compare(targets.at(i)->dir, Case::SENSITIVE) != 0) continue;
            *grouped.at(j) = 1;
            members.push_back(j);
        }
        group.run(members);
    }
}

Target& add_target(BoxedVector<Target>& targets, PathList& output, WalkFlags flags, String pattern) {
    Target& target = *targets.append(nullptr);
    target.output = &output;
    target.flags = flags;
    target.pattern = std::move(pattern);
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
    BoxedVector<Target> targets;
    Target& target = add_target(targets, output, flags, std::move(pattern));
    walk(targets, WalkShared{});
    return target.total;
}

void collect_files_together(WalkRequest* requests, std::int32_t count, WalkFlags flags, const WalkShared& shared) {
    BoxedVector<Target> targets;
    for (std::int32_t i = 0; i < count; ++i) {
        Target& target = add_target(targets, requests[i].found, flags, requests[i].pattern);
        target.request = &requests[i];
        requests[i].runs.clear();
        requests[i].left_out = 0;
        requests[i].left_out_from = -1;
    }
    walk(targets, shared);
    for (std::int32_t i = 0; i < count; ++i) requests[i].total = targets.at(i)->total;
}

}  // namespace rubo
