#include "platform/directory_chain.h"

#include <algorithm>
#include <cstring>

#include "platform/backend_helpers.h"

namespace rubo::platform {

DirectoryChain::~DirectoryChain() { release_all(); }

void DirectoryChain::drop_levels_from(std::size_t depth) {
    while (levels_.size() > depth) {
        if (levels_.back().handle != NO_HELD_HANDLE) {
            directory_openers.close(levels_.back().handle);
            --held_;
        }
        levels_.pop_back();
    }
    shallowest_ = std::min(shallowest_, depth);
}

void DirectoryChain::release_all() {
    drop_levels_from(0);
    if (base_handle_ != NO_HELD_HANDLE) directory_openers.close(base_handle_);
    base_handle_ = NO_HELD_HANDLE;
}

void DirectoryChain::keep_within(std::size_t depth) {
    for (; shallowest_ < depth && held_ > most_held_; ++shallowest_) {
        Level& level = levels_[shallowest_];
        if (level.handle == NO_HELD_HANDLE) continue;
        directory_openers.close(level.handle);
        level.handle = NO_HELD_HANDLE;
        --held_;
    }
}

bool DirectoryChain::hold_base(const char* path, std::size_t base_length, const DirectoryIdentity* searched) {
    const bool held = base_handle_ != NO_HELD_HANDLE && base_.size() == base_length &&
                      std::memcmp(base_.data(), path, base_length) == 0;
    if (held && (searched == nullptr || searched->same_as(base_identity_))) return true;
    release_all();
    base_.assign(path, base_length);
    base_handle_ = directory_openers.open_base(base_);
    if (base_handle_ == NO_HELD_HANDLE) return false;
    base_identity_ = directory_openers.identity_of(base_handle_);
    if (searched == nullptr || searched->same_as(base_identity_)) return true;
    // The path leads to another directory than the one that was searched.
    release_all();
    set_last_error(SYSTEM_ERROR_PATH_NOT_FOUND);
    return false;
}

HeldHandle DirectoryChain::open_level(std::size_t depth, const char* path) {
    const HeldHandle parent = handle_at(static_cast<std::ptrdiff_t>(depth) - 1, path);
    if (parent == NO_HELD_HANDLE) return NO_HELD_HANDLE;
    const std::size_t offset = offsets_[depth];
    const HeldHandle opened =
        directory_openers.open_below(parent, std::string(path, offset + levels_[depth].name.size()), offset);
    if (opened == NO_HELD_HANDLE) return NO_HELD_HANDLE;
    levels_[depth].handle = opened;
    ++held_;
    shallowest_ = std::min(shallowest_, depth);
    keep_within(depth);
    return opened;
}

HeldHandle DirectoryChain::handle_at(std::ptrdiff_t depth, const char* path) {
    std::ptrdiff_t held = depth;
    while (held >= 0 && levels_[static_cast<std::size_t>(held)].handle == NO_HELD_HANDLE) --held;
    HeldHandle handle = held < 0 ? base_handle_ : levels_[static_cast<std::size_t>(held)].handle;
    // Each level let go of is opened again below the one above it, and must be the
    // directory that was opened under its name before.
    for (std::size_t i = static_cast<std::size_t>(held + 1); static_cast<std::ptrdiff_t>(i) <= depth; ++i) {
        handle = open_level(i, path);
        if (handle == NO_HELD_HANDLE) return NO_HELD_HANDLE;
        if (levels_[i].identity.same_as(directory_openers.identity_of(handle))) continue;
        drop_levels_from(i);
        set_last_error(SYSTEM_ERROR_PATH_NOT_FOUND);
        return NO_HELD_HANDLE;
    }
    return handle;
}

bool DirectoryChain::finish(FinalStep step, const char* path, std::size_t base_length, const DirectoryIdentity* levels,
                            std::size_t level_count) {
    if (finish_once(step, path, base_length, levels, level_count)) return true;
    if (last_error() != SYSTEM_ERROR_TOO_MANY_OPEN_FILES) return false;
    // Out of handles: what this chain holds is let go, and half as many levels as it
    // managed to hold are held from now on.
    most_held_ = held_ > 2 ? held_ / 2 : 1;
    release_all();
    return finish_once(step, path, base_length, levels, level_count);
}

bool DirectoryChain::finish_once(FinalStep step, const char* path, std::size_t base_length,
                                 const DirectoryIdentity* levels, std::size_t level_count) {
    const auto is_separator = directory_openers.is_separator;
    if (!hold_base(path, base_length, level_count > 0 ? &levels[0] : nullptr)) return false;
    offsets_.clear();
    for (const char* name = path + base_length;;) {
        while (is_separator(*name)) ++name;
        const std::size_t length = name_length(name, is_separator);
        const std::size_t depth = offsets_.size();
        if (name[length] == '\0') {
            if (level_count != 0 && level_count != depth + 1) return parameter_valid(false);
            drop_levels_from(depth);
            const HeldHandle directory = handle_at(static_cast<std::ptrdiff_t>(depth) - 1, path);
            if (directory == NO_HELD_HANDLE) return false;
            return step == FinalStep::TRASH ? directory_openers.trash(directory, path, name)
                                            : directory_openers.remove(directory, path, name);
        }
        offsets_.push_back(static_cast<std::size_t>(name - path));
        const DirectoryIdentity* expected = level_count > depth + 1 ? &levels[depth + 1] : nullptr;
        // A level known under this name stays, unless it is another directory than the
        // one this file was found in: then the name is looked up again.
        const bool known = depth < levels_.size() &&
                           levels_[depth].name.compare(0, std::string::npos, name, length) == 0 &&
                           (expected == nullptr || expected->same_as(levels_[depth].identity));
        if (!known) {
            drop_levels_from(depth);
            levels_.push_back(Level{std::string(name, length), {}, NO_HELD_HANDLE});
            const HeldHandle opened = open_level(depth, path);
            if (opened == NO_HELD_HANDLE) {
                levels_.pop_back();
                return false;
            }
            levels_[depth].identity = directory_openers.identity_of(opened);
            if (expected != nullptr && !expected->same_as(levels_[depth].identity)) {
                // Another directory than the one the file was found in.
                drop_levels_from(depth);
                set_last_error(SYSTEM_ERROR_PATH_NOT_FOUND);
                return false;
            }
        }
        name += length;
    }
}

DirectoryChain* new_directory_chain() { return new DirectoryChain; }

void free_directory_chain(DirectoryChain* chain) { delete chain; }

namespace {

bool finish_file_below(FinalStep step, const char* path, std::size_t base_length, DirectoryChain* chain,
                       const DirectoryIdentity* levels, std::size_t level_count) {
    if (!path_given(path) ||
        !path_below_valid(path, base_length, directory_openers.is_separator, directory_openers.ends_base))
        return false;
    if (chain != nullptr) return chain->finish(step, path, base_length, levels, level_count);
    DirectoryChain single;
    return single.finish(step, path, base_length, levels, level_count);
}

}  // namespace

bool delete_file_below(const char* path, std::size_t base_length, DirectoryChain* chain,
                       const DirectoryIdentity* levels, std::size_t level_count) {
    return finish_file_below(FinalStep::REMOVE, path, base_length, chain, levels, level_count);
}

bool trash_file_below(const char* path, std::size_t base_length, DirectoryChain* chain, const DirectoryIdentity* levels,
                      std::size_t level_count) {
    return finish_file_below(FinalStep::TRASH, path, base_length, chain, levels, level_count);
}

}  // namespace rubo::platform
