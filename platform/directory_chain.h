#pragma once
// The directories on the way from a base directory down to a file, held open from one
// removal to the next. Files are removed in the order a walk listed them, so the next
// file usually lies in the same directories as the last one, and then none of them is
// looked up again. Each backend says how a directory is opened, closed and how a file
// in one is removed; the chain decides which directories it still holds.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace platform {

using HeldHandle = std::intptr_t;
constexpr HeldHandle NO_HELD_HANDLE = -1;

// What each backend supplies (directory_openers, in its delete_file_below.cpp). Every
// call that fails answers NO_HELD_HANDLE or false with the last error set.
struct DirectoryOpeners {
    // The base directory, taken as it stands: links in its path are followed.
    HeldHandle (*open_base)(const std::string& base);
    // The directory whose path is `path`, a real directory and not a link, whose own name
    // starts at `name_offset`; `parent` is the handle of the directory that holds it.
    HeldHandle (*open_below)(HeldHandle parent, const std::string& path, std::size_t name_offset);
    void (*close)(HeldHandle handle);
    // Removes the file `name` of the directory `parent`; `path` is the file's full path.
    bool (*remove)(HeldHandle parent, const char* path, const char* name);
    // The platform's path separators, and the bytes a base directory may end with.
    bool (*is_separator)(char c);
    bool (*ends_base)(char c);
};
extern const DirectoryOpeners directory_openers;

class DirectoryChain {
public:
    DirectoryChain() = default;
    ~DirectoryChain();
    DirectoryChain(const DirectoryChain&) = delete;
    DirectoryChain& operator=(const DirectoryChain&) = delete;

    // Removes the file at `path` through the directories below its first `base_length`
    // bytes (arguments checked by the caller), opening only those not held yet. Afterwards
    // the chain holds the directories of this path and no others.
    bool remove(const char* path, std::size_t base_length);

private:
    struct Level {
        std::string name;
        HeldHandle handle;
    };

    // Closes the held levels from `depth` down.
    void drop_levels_from(std::size_t depth);
    void release_beyond();

    std::string base_;
    HeldHandle base_handle_ = NO_HELD_HANDLE;
    std::vector<Level> levels_;
    // Directories deeper than the held levels are opened one after another for each
    // removal; the deepest of them is kept only until the next one.
    HeldHandle beyond_ = NO_HELD_HANDLE;
};

}  // namespace platform
