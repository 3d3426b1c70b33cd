#include "platform/directory_chain.h"

#include <cstring>

#include "platform/backend_helpers.h"

namespace rubo::platform {

DirectoryChain::~DirectoryChain() { release_all(); }

void DirectoryChain::release_beyond() {
    if (beyond_ != NO_HELD_HANDLE) directory_openers.close(beyond_);
    beyond_ = NO_HELD_HANDLE;
}

void DirectoryChain::drop_levels_from(std::size_t depth) {
    while (levels_.size() > depth) {
        directory_openers.close(levels_.back().handle);
        levels_.pop_back();
    }
}

void DirectoryChain::release_all() {
    release_beyond();
    drop_levels_from(0);
    if (base_handle_ != NO_HELD_HANDLE) directory_openers.close(base_handle_);
    base_handle_ = NO_HELD_HANDLE;
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

bool DirectoryChain::remove(const char* path, std::size_t base_length, const DirectoryIdentity* searched) {
    if (remove_once(path, base_length, searched)) return true;
    if (last_error() != SYSTEM_ERROR_TOO_MANY_OPEN_FILES) return false;
    // Out of handles: what this chain holds is let go, and half as many levels as it
    // managed to hold are held from now on.
    held_levels_ = levels_.size() / 2;
    release_all();
    return remove_once(path, base_length, searched);
}

bool DirectoryChain::remove_once(const char* path, std::size_t base_length, const DirectoryIdentity* searched) {
    const auto is_separator = directory_openers.is_separator;
    release_beyond();
    if (!hold_base(path, base_length, searched)) return false;
    HeldHandle directory = base_handle_;
    std::size_t depth = 0;
    for (const char* name = path + base_length;; ++depth) {
        while (is_separator(*name)) ++name;
        const std::size_t length = name_length(name, is_separator);
        if (name[length] == '\0') {
            drop_levels_from(depth);
            return directory_openers.remove(directory, path, name);
        }
        if (depth < levels_.size() && levels_[depth].name.compare(0, std::string::npos, name, length) == 0) {
            directory = levels_[depth].handle;
        } else {
            drop_levels_from(depth);
            const std::size_t name_offset = static_cast<std::size_t>(name - path);
            const HeldHandle below =
                directory_openers.open_below(directory, std::string(path, name_offset + length), name_offset);
            // Past the held levels only the directory just opened is kept, for the next step.
            if (depth >= held_levels_) release_beyond();
            if (below == NO_HELD_HANDLE) return false;
            if (depth < held_levels_) {
                levels_.push_back(Level{std::string(name, length), below});
            } else {
                beyond_ = below;
            }
            directory = below;
        }
        name += length;
    }
}

DirectoryChain* new_directory_chain() { return new DirectoryChain; }

void free_directory_chain(DirectoryChain* chain) { delete chain; }

bool delete_file_below(const char* path, std::size_t base_length, DirectoryChain* chain,
                       const DirectoryIdentity* searched) {
    if (!path_given(path) ||
        !path_below_valid(path, base_length, directory_openers.is_separator, directory_openers.ends_base))
        return false;
    if (chain != nullptr) return chain->remove(path, base_length, searched);
    DirectoryChain single;
    return single.remove(path, base_length, searched);
}

}  // namespace rubo::platform
