#include "platform/directory_chain.h"

#include <cstring>

#include "platform/backend_helpers.h"

namespace platform {
namespace {

// How many directories below the base stay held. A deeper path still works; its deeper
// directories are opened anew each time, so that no tree can use up the process's
// handles.
constexpr std::size_t HELD_LEVELS = 64;

}  // namespace

DirectoryChain::~DirectoryChain() {
    release_beyond();
    drop_levels_from(0);
    if (base_handle_ != NO_HELD_HANDLE) directory_openers.close(base_handle_);
}

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

bool DirectoryChain::remove(const char* path, std::size_t base_length) {
    const auto is_separator = directory_openers.is_separator;
    release_beyond();
    if (base_handle_ == NO_HELD_HANDLE || base_.size() != base_length ||
        std::memcmp(base_.data(), path, base_length) != 0) {
        drop_levels_from(0);
        if (base_handle_ != NO_HELD_HANDLE) directory_openers.close(base_handle_);
        base_.assign(path, base_length);
        base_handle_ = directory_openers.open_base(base_);
        if (base_handle_ == NO_HELD_HANDLE) return false;
    }
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
            if (depth >= HELD_LEVELS) release_beyond();
            if (below == NO_HELD_HANDLE) return false;
            if (depth < HELD_LEVELS) {
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

bool delete_file_below(const char* path, std::size_t base_length, DirectoryChain* chain) {
    if (!path_given(path) ||
        !path_below_valid(path, base_length, directory_openers.is_separator, directory_openers.ends_base))
        return false;
    DirectoryChain single;
    return (chain != nullptr ? *chain : single).remove(path, base_length);
}

}  // namespace platform
