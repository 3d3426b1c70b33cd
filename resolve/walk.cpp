#include "resolve/walk.h"

#include <cstdint>
#include <memory>

#include "core/paths.h"
#include "core/sort_strings.h"
#include "core/startup_objects.h"
#include "resolve/walk_order.h"

namespace {

// The walk's current search; the searches it interrupted wait on search_stack.
platform::Search* current_search = nullptr;

void fill_entry(FileEntry& entry, const platform::DirectoryEntry& found) {
    entry.last_access_time = universal_date_time(found.last_access_time);
    entry.attributes = found.attributes;
    entry.last_write_time = universal_date_time(found.last_write_time);
    entry.creation_time = universal_date_time(found.creation_time);
    entry.name = found.name;
    entry.short_name = found.short_name;
    entry.size = static_cast<std::int64_t>((std::uint64_t{found.size_high} << 32) | found.size_low);
}

bool is_directory(const FileEntry& entry) { return (entry.attributes & platform::ATTRIBUTE_DIRECTORY) != 0; }

bool is_dot_entry(const FileEntry& entry) {
    return entry.name.compare(".", true) == 0 || entry.name.compare("..", true) == 0;
}

// Adds a size unless the sum would pass the largest total (or the size is not positive).
void add_size(std::int64_t& total, std::int64_t size) {
    if (size > 0 && total <= INT64_MAX - size) total += size;
}

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

// Runs the walk in every subdirectory of dir (links to directories excepted) for the
// file-name pattern `filter` and appends their results in the platform's order.
std::int64_t collect_below(BoxedVector<String>& output, std::uint32_t flags, const String& dir,
                           const String& filter) {
    std::int64_t total = 0;
    FileEntry entry;
    const String everything = join_path(dir.text(), "*.*");
    for (bool found = find_first_entry(everything.text(), &entry, platform::FIND_KIND_ONLY); found;
         found = find_next_entry(&entry)) {
        if (!is_directory(entry) || (entry.attributes & platform::ATTRIBUTE_REPARSE_POINT) != 0 ||
            is_dot_entry(entry))
            continue;
        BoxedVector<String> below;
        const String subdirectory = join_path(dir.text(), entry.name.text());
        add_size(total, collect_files(below, flags, join_path(subdirectory.text(), filter.text())));
        output.append_all(below);
    }
    end_find();
    return total;
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
    search_stack().push(current_search);
    platform::DirectoryEntry found;
    current_search = platform::find_first(pattern, found, detail);
    if (current_search == nullptr) return false;
    if (found.name[0] == '\0') return find_next_entry(entry);
    if (entry != nullptr) fill_entry(*entry, found);
    return true;
}

bool find_next_entry(FileEntry* entry) {
    if (current_search == nullptr) return false;
    platform::DirectoryEntry found;
    do {
        if (!platform::find_next(current_search, found)) return false;
    } while (found.name[0] == '\0');
    if (entry != nullptr) fill_entry(*entry, found);
    return true;
}

void end_find() {
    if (search_stack().count == 0) return;
    platform::find_close(current_search);
    current_search = static_cast<platform::Search*>(search_stack().pop());
}

std::int64_t collect_files(BoxedVector<String>& output, std::uint32_t flags, String pattern) {
    if ((flags & WALK_APPEND) == 0) output.clear();
    if (pattern.remove_suffix(" /s")) flags |= WALK_RECURSE;
    // A pattern that ends in a separator names no file; searching below for an empty
    // name would turn every directory name into a pattern.
    const String filter = file_name_part(pattern.text());
    if (filter.length() == 0) return 0;
    const String dir = directory_part(pattern.text());
    const std::int32_t held = output.count;
    std::int64_t total = 0;
    FileEntry entry;
    for (bool found = find_first_entry(pattern.text(), &entry); found; found = find_next_entry(&entry)) {
        if (is_directory(entry) && ((flags & WALK_DIRECTORIES) == 0 || is_dot_entry(entry))) continue;
        output.append(join_path(dir.text(), entry.name.text()));
        add_size(total, entry.size);
    }
    end_find();
    order_and_reduce(output, flags, held);
    if ((flags & WALK_RECURSE) != 0) add_size(total, collect_below(output, flags, dir, filter));
    return total;
}
