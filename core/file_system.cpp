#include "core/file_system.h"

#include "core/paths.h"
#include "core/working_paths.h"
#include "platform/platform.h"

namespace rubo {

namespace {

bool is_empty(const char* path) { return path == nullptr || path[0] == 0; }

// Whether the directory can be entered, found out without entering it: its attributes
// say directory, and a name inside it can be looked up, which takes the right to pass
// through it.
bool enterable_directory(const char* path) {
    const std::uint32_t attributes = get_attributes(path);
    if (attributes == platform::ATTRIBUTES_INVALID || (attributes & platform::ATTRIBUTE_DIRECTORY) == 0) return false;
    return get_attributes(join_path(path, ".").text()) != platform::ATTRIBUTES_INVALID;
}

}  // namespace

bool erase_file(const char* path) {
    if (is_empty(path)) return false;
    // Unreadable attributes do not stop the attempt; the platform has the last word.
    const std::uint32_t attributes = get_attributes(path);
    const bool known = attributes != platform::ATTRIBUTES_INVALID;
    if (known && (attributes & platform::ATTRIBUTE_DIRECTORY) != 0) return false;
    const bool read_only = known && (attributes & platform::ATTRIBUTE_READ_ONLY) != 0;
    if (read_only) set_read_only(path, false);
    if (platform::delete_file(path)) return true;
    if (read_only) set_read_only(path, true);
    return false;
}

FileEraser::FileEraser() : chain_(platform::new_directory_chain()) {}

FileEraser::~FileEraser() { platform::free_directory_chain(chain_); }

bool FileEraser::erase_below(const char* path, int base_length, const platform::DirectoryIdentity* levels,
                             int level_count) {
    return act_below(platform::delete_file_below, path, base_length, levels, level_count);
}

bool FileEraser::trash_below(const char* path, int base_length, const platform::DirectoryIdentity* levels,
                             int level_count) {
    return act_below(platform::trash_file_below, path, base_length, levels, level_count);
}

bool FileEraser::act_below(BelowCall call, const char* path, int base_length, const platform::DirectoryIdentity* levels,
                           int level_count) {
    return !is_empty(path) && base_length > 0 && level_count >= 0 &&
           call(path, static_cast<std::size_t>(base_length), chain_, levels, static_cast<std::size_t>(level_count));
}

bool set_read_only(const char* path, bool on) {
    const std::uint32_t attributes = get_attributes(path);
    if (attributes == platform::ATTRIBUTES_INVALID) return false;
    const bool read_only = (attributes & platform::ATTRIBUTE_READ_ONLY) != 0;
    if (read_only == on) return true;
    return set_attributes(path, attributes ^ platform::ATTRIBUTE_READ_ONLY);
}

std::uint32_t get_attributes(const char* path) {
    return is_empty(path) ? platform::ATTRIBUTES_INVALID : platform::get_file_attributes(path);
}

bool set_attributes(const char* path, std::uint32_t attributes) {
    return !is_empty(path) && platform::set_file_attributes(path, attributes);
}

bool directory_exists(const char* path) {
    if (is_empty(path)) return false;
    // The test enters the directory and comes back, which takes a saved path that leads
    // back here. Without one (the current directory's path cannot be read, or cannot be
    // entered) the directory is judged without entering it.
    const String saved = current_directory();
    if (saved.length() == 0 || !platform::set_current_directory(saved.text())) return enterable_directory(path);
    if (!platform::set_current_directory(path)) return false;
    platform::set_current_directory(saved.text());
    return true;
}

}  // namespace rubo
