#include "resolve/walk.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

#include "core/paths.h"
#include "core/sort_strings.h"
#include "core/startup_objects.h"
#include "resolve/walk_order.h"

namespace {

// The walk's current search; the searches it interrupted wait on search_stack.
platform::Search* current_search = nullptr;

std::int64_t size_of(const platform::DirectoryEntry& found) {
    return static_cast<std::int64_t>((std::uint64_t{found.size_high} << 32) | found.size_low);
}

void fill_entry(FileEntry& entry, const platform::DirectoryEntry& found) {
    entry.last_access_time = universal_date_time(found.last_access_time);
    entry.attributes = found.attributes;
    entry.last_write_time = universal_date_time(found.last_write_time);
    entry.creation_time = universal_date_time(found.creation_time);
    entry.name = found.name;
    entry.short_name = found.short_name;
    entry.size = size_of(found);
}

// Adds a size unless the sum would pass the largest total (or the size is not positive).
void add_size(std::int64_t& total, std::int64_t size) {
    if (size > 0 && total <= INT64_MAX - size) total += size;
}

bool is_directory(std::uint32_t attributes) { return (attributes & platform::ATTRIBUTE_DIRECTORY) != 0; }

bool is_dot_name(const char* name) { return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0; }

// The search state behind find_first_entry and find_next_entry, on the platform's own
// entries, which the walk reads directly.
bool first_found(const char* pattern, platform::DirectoryEntry& found, platform::FindDetail detail);
bool next_found(platform::DirectoryEntry& found);

void reduce(String& path, std::uint32_t flags) {
    if ((flags & WALK_NAMES_ONLY) != 0) strip_directory(path);
    if ((flags & WALK_NO_EXTENSIONS) != 0) strip_extension(path);
}

// Sorts and reduces the output once this directory's matches are in it; `held` is the
// number of elements it held before.
void order_and_reduce(BoxedVector<String>& output, std::uint32_t flags, std::int32_t held) {
    const std::uint32_t sort_bits = flags & (WALK_SORT_BY_TIME | WALK_SORT_BY_NAME);
    const bool reverse = (flags & WALK_REVERSE) != 0;
    const bool reducing = (flags & (WALK_NAMES_ONLY | WALK_NO_EXTENSIONS)) != 0;
    // This call's elements by address: a sort moves only the pointers to them.
    const std::int32_t listed = output.count - held;
    std::unique_ptr<String*[]> own;
    if (reducing) {
        own = std::make_unique<String*[]>(static_cast<std::size_t>(listed));
        for (std::int32_t i = 0; i < listed; ++i) own[static_cast<std::size_t>(i)] = output.at(held + i);
    }
    if (sort_bits == WALK_SORT_BY_TIME) output.sort(reverse ? compare_oldest_first : compare_newest_first);
    if (sort_bits == WALK_SORT_BY_NAME) sort_strings(output, reverse);
    for (std::int32_t i = 0; i < listed && reducing; ++i) reduce(*own[static_cast<std::size_t>(i)], flags);
    if (sort_bits == (WALK_SORT_BY_TIME | WALK_SORT_BY_NAME)) sort_strings(output, reverse);
}

// One pattern on its way down the tree: where its matches go, its flags, and what it
// has found at this level.
struct Target {
    BoxedVector<String>* output = nullptr;
    std::uint32_t flags = 0;
    String pattern;
    String dir;     // the pattern's directory
    String filter;  // its file-name part; empty when the pattern names no file
    std::int64_t total = 0;
    // Where the identity of the pattern's own directory goes, for a pattern the caller
    // named (not for the subdirectories the walk goes through).
    platform::DirectoryIdentity* searched = nullptr;
    Collection<SearchFailure>* failures = nullptr;  // where directories that cannot be searched go
    WalkProgress* progress = nullptr;               // where the walk counts what it reads
    std::int32_t listed = 0;                        // how many paths list_own listed
};

// Whether the search of the target's own directory that just found nothing failed for
// another reason than there being no match (or, for a directory the caller named, than
// the directory being missing: its pattern then matches nothing); such a directory is
// recorded.
bool search_failed(const Target& target) {
    const platform::ErrorCode error = platform::last_error();
    if (current_search != nullptr || error == platform::SYSTEM_ERROR_FILE_NOT_FOUND ||
        (target.searched != nullptr && error == platform::SYSTEM_ERROR_PATH_NOT_FOUND))
        return false;
    if (target.failures != nullptr) target.failures->append(SearchFailure{target.dir, error});
    return true;
}

// What a search of the target's own directory must also tell.
platform::FindDetail identity_detail(const Target& target) {
    return target.searched != nullptr && !target.searched->known ? platform::FIND_IDENTITY : platform::FIND_ALL_DETAILS;
}

// Keeps the identity of the directory the current search read, for a target that wants it.
void note_identity(Target& target) {
    if (target.searched != nullptr && !target.searched->known && current_search != nullptr)
        *target.searched = platform::search_identity(current_search);
}

// Lists the matches of the target's pattern in its own directory. `again` tells that
// an earlier search of this walk has read the directory, so that its reading may serve.
// True when the target goes on into the subdirectories.
bool list_own(Target& target, bool again) {
    target.listed = 0;
    if ((target.flags & WALK_APPEND) == 0) target.output->clear();
    if (target.pattern.remove_suffix(" /s")) target.flags |= WALK_RECURSE;
    // A pattern that ends in a separator names no file; searching below for an empty
    // name would turn every directory name into a pattern.
    target.filter = file_name_part(target.pattern.text());
    if (target.filter.length() == 0) return false;
    target.dir = directory_part(target.pattern.text());
    const std::int32_t held = target.output->count;
    const platform::FindDetail detail =
        (again ? platform::FIND_LAST_READING : platform::FIND_ALL_DETAILS) | identity_detail(target);
    platform::DirectoryEntry found;
    bool more = first_found(target.pattern.text(), found, detail);
    note_identity(target);
    if (search_failed(target)) {
        end_find();
        return false;
    }
    for (; more; more = next_found(found)) {
        if (is_directory(found.attributes) && ((target.flags & WALK_DIRECTORIES) == 0 || is_dot_name(found.name)))
            continue;
        target.output->append(join_path(target.dir.text(), found.name));
        add_size(target.total, size_of(found));
    }
    end_find();
    target.listed = target.output->count - held;
    order_and_reduce(*target.output, target.flags, held);
    return (target.flags & WALK_RECURSE) != 0;
}

void walk_level(Target* targets, std::int32_t count);

// Runs the walk in every subdirectory of the targets' common directory (links to
// directories excepted) for each target's file-name pattern, and appends each
// subdirectory's results in the platform's order.
void walk_below(Target** group, std::int32_t count) {
    const String& dir = group[0]->dir;
    const String everything = join_path(dir.text(), "*.*");
    const auto size = static_cast<std::size_t>(count);
    // A subdirectory's results go straight to the end of the target's output; only a
    // target that sorts gathers them apart first, since its sort stays within them.
    std::unique_ptr<BoxedVector<String>[]> apart(new BoxedVector<String>[size]);
    std::unique_ptr<Target[]> inner(new Target[size]);
    // The search for the targets' own matches has just read the directory.
    platform::FindDetail kinds = platform::FIND_KIND_ONLY | platform::FIND_LAST_READING;
    for (std::size_t i = 0; i < size; ++i) kinds = kinds | identity_detail(*group[i]);
    platform::DirectoryEntry found;
    bool more = first_found(everything.text(), found, kinds);
    for (std::size_t i = 0; i < size; ++i) note_identity(*group[i]);
    for (; more; more = next_found(found)) {
        if (!is_directory(found.attributes) || (found.attributes & platform::ATTRIBUTE_REPARSE_POINT) != 0 ||
            is_dot_name(found.name))
            continue;
        const String subdirectory = join_path(dir.text(), found.name);
        for (std::size_t i = 0; i < size; ++i) {
            const bool sorting = (group[i]->flags & (WALK_SORT_BY_TIME | WALK_SORT_BY_NAME)) != 0;
            inner[i].output = sorting ? &apart[i] : group[i]->output;
            inner[i].flags = group[i]->flags | (sorting ? 0 : WALK_APPEND);
            inner[i].failures = group[i]->failures;
            inner[i].progress = group[i]->progress;
            inner[i].pattern = join_path(subdirectory.text(), group[i]->filter.text());
            inner[i].total = 0;
        }
        walk_level(inner.get(), count);
        for (std::size_t i = 0; i < size; ++i) {
            add_size(group[i]->total, inner[i].total);
            group[i]->output->take_all(apart[i]);
        }
    }
    end_find();
}

// Lists each target's own matches, then walks the subdirectories for those that
// recurse, once for all targets that share a directory. Each target ends up with what
// a walk of its pattern alone would have given it.
void walk_level(Target* targets, std::int32_t count) {
    const auto size = static_cast<std::size_t>(count);
    std::unique_ptr<bool[]> below(new bool[size]);
    bool searched = false;
    std::int64_t listed = 0;
    for (std::size_t i = 0; i < size; ++i) {
        below[i] = list_own(targets[i], searched);
        searched = searched || targets[i].filter.length() > 0;
        listed += targets[i].listed;
    }
    if (searched && targets[0].progress != nullptr) targets[0].progress->count_directory(listed);
    std::unique_ptr<Target*[]> group(new Target*[size]);
    for (std::size_t i = 0; i < size; ++i) {
        if (!below[i]) continue;
        std::int32_t members = 0;
        for (std::size_t j = i; j < size; ++j) {
            if (!below[j] || targets[j].dir.compare(targets[i].dir, true) != 0) continue;
            group[static_cast<std::size_t>(members++)] = &targets[j];
            below[j] = false;
        }
        walk_below(group.get(), members);
    }
}

bool first_found(const char* pattern, platform::DirectoryEntry& found, platform::FindDetail detail) {
    search_stack().push(current_search);
    current_search = platform::find_first(pattern, found, detail);
    if (current_search == nullptr) return false;
    return found.name[0] != '\0' || next_found(found);
}

bool next_found(platform::DirectoryEntry& found) {
    if (current_search == nullptr) return false;
    do {
        if (!platform::find_next(current_search, found)) return false;
    } while (found.name[0] == '\0');
    return true;
}

}  // namespace

DateTime universal_date_time(platform::FileTime time) {
    constexpr std::uint64_t ticks_per_second = 10'000'000;
    constexpr std::int64_t seconds_per_day = 86'400;
    const std::uint64_t seconds = time / ticks_per_second;
    const std::int64_t second_of_day = static_cast<std::int64_t>(seconds % seconds_per_day);
    // Days counted from 1 March of the year 0 of the Gregorian calendar, on which the
    // 400-year cycles begin; 1 January 1601 is day 584,694.
    const std::int64_t days = static_cast<std::int64_t>(seconds / seconds_per_day) + 584'694;
    const std::int64_t era = days / 146'097;
    const std::int64_t day_of_era = days - era * 146'097;
    const std::int64_t year_of_era =
        (day_of_era - day_of_era / 1'460 + day_of_era / 36'524 - day_of_era / 146'096) / 365;
    const std::int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const std::int64_t month_from_march = (5 * day_of_year + 2) / 153;
    const std::int64_t month = month_from_march < 10 ? month_from_march + 3 : month_from_march - 9;
    DateTime result;
    result.year = static_cast<std::int32_t>(year_of_era + era * 400 + (month <= 2 ? 1 : 0));
    result.month = static_cast<std::int32_t>(month);
    result.day = static_cast<std::int32_t>(day_of_year - (153 * month_from_march + 2) / 5 + 1);
    result.hour = static_cast<std::int32_t>(second_of_day / 3'600);
    result.minute = static_cast<std::int32_t>(second_of_day / 60 % 60);
    result.second = static_cast<std::int32_t>(second_of_day % 60);
    return result;
}

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

std::int64_t collect_files(BoxedVector<String>& output, std::uint32_t flags, String pattern) {
    Target target;
    target.output = &output;
    target.flags = flags;
    target.pattern = std::move(pattern);
    walk_level(&target, 1);
    return target.total;
}

void collect_files_together(WalkRequest* requests, std::int32_t count, std::uint32_t flags,
                            Collection<SearchFailure>* failures, WalkProgress* progress) {
    const auto size = static_cast<std::size_t>(count > 0 ? count : 0);
    std::unique_ptr<Target[]> targets(new Target[size]);
    for (std::size_t i = 0; i < size; ++i) {
        targets[i].output = &requests[i].found;
        targets[i].flags = flags;
        targets[i].pattern = requests[i].pattern;
        targets[i].searched = &requests[i].searched;
        targets[i].failures = failures;
        targets[i].progress = progress;
        requests[i].searched = platform::DirectoryIdentity{};
    }
    walk_level(targets.get(), static_cast<std::int32_t>(size));
    for (std::size_t i = 0; i < size; ++i) requests[i].total = targets[i].total;
}
