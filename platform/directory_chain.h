#pragma once
// The directories on the way from a base directory down to a file, held open from one
// removal to the next. Files are removed in the order a walk listed them, so the next
// file usually lies in the same directories as the last one, and then none of them is
// looked up again. Each backend says how a directory is opened, closed and what is done
// with a file in one (removed, or moved to the trash); the chain decides which
// directories it still holds.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace rubo::platform {

using HeldHandle = std::intptr_t;
constexpr HeldHandle NO_HELD_HANDLE = -1;

// What each backend supplies (directory_openers, in its delete_file_below.cpp). Every
// call that fails answers NO_HELD_HANDLE or false with the last error set.
struct DirectoryOpeners {
    // The base directory, taken as it stands: links in its path are followed.
    HeldHandle (*open_base)(const std::string& base);
    // Which directory a held handle holds.
    DirectoryIdentity (*identity_of)(HeldHandle handle);
    // The directory whose path is `path`, a real directory and not a link, whose own name
    // starts at `name_offset`; `parent` is the handle of the directory that holds it.
    HeldHandle (*open_below)(HeldHandle parent, const std::string& path, std::size_t name_offset);
    void (*close)(HeldHandle handle);
    // Removes the file `name` of the directory `parent`; `path` is the file's full path.
    bool (*remove)(HeldHandle parent, const char* path, const char* name);
    // Moves the file `name` of the directory `parent` to the system's trash, from where
    // the desktop can put it back; `path` is the file's full path.
    bool (*trash)(HeldHandle parent, const char* path, const char* name);
    // The platform's path separators, and the bytes a base directory may end with.
    bool (*is_separator)(char c);
    bool (*ends_base)(char c);
    // How many directories below a base may stay held without crowding out the process's
    // other handles.
    std::size_t (*levels_to_hold)();
};
extern const DirectoryOpeners directory_openers;

// What is done with the file at the end of the way.
enum class FinalStep : std::uint8_t { REMOVE, TRASH };

class DirectoryChain {
public:
    DirectoryChain() = default;
    ~DirectoryChain();
    DirectoryChain(const DirectoryChain&) = delete;
    DirectoryChain& operator=(const DirectoryChain&) = delete;

    // Removes the file at `path`, or moves it to the trash (`step`), through the
    // directories below its first `base_length` bytes (arguments checked by the caller),
    // opening only those not held yet; with `levels`, only when every directory on the
    // way is the one given for its depth. Afterwards the chain knows the directories of
    // this path and no others, and holds the deepest of them. When the process runs out
    // of handles on the way, the chain lets go of all it holds, holds fewer from then
    // on, and tries again.
    bool finish(FinalStep step, const char* path, std::size_t base_length, const DirectoryIdentity* levels,
                std::size_t level_count);

private:
    // A directory on the way: its name, which directory it was when it was first opened
    // under that name, and its handle while it is held.
    struct Level {
        std::string name;
        DirectoryIdentity identity;
        HeldHandle handle;
    };

    bool finish_once(FinalStep step, const char* path, std::size_t base_length, const DirectoryIdentity* levels,
                     std::size_t level_count);
    // Holds the base `path` names, unless it is held already; false when it cannot be
    // opened or is not the directory `searched`.
    bool hold_base(const char* path, std::size_t base_length, const DirectoryIdentity* searched);
    // The handle of the directory at `depth` (-1 for the base), opened again from the
    // nearest one held above it when it was let go of; each one opened again must still be
    // the directory it was. `offsets` tell where the names begin in `path`.
    HeldHandle handle_at(std::ptrdiff_t depth, const char* path);
    // Opens the directory at `depth` below the one above it, and keeps it.
    HeldHandle open_level(std::size_t depth, const char* path);
    // Lets go of the shallowest held levels above `depth` while more than the chain may
    // hold are held.
    void keep_within(std::size_t depth);
    // Forgets the levels from `depth` down.
    void drop_levels_from(std::size_t depth);
    void release_all();

    std::string base_;
    HeldHandle base_handle_ = NO_HELD_HANDLE;
    DirectoryIdentity base_identity_;
    std::vector<Level> levels_;
    std::vector<std::size_t> offsets_;  // where each level's name begins in the path at hand
    std::size_t held_ = 0;              // levels held, the base aside
    std::size_t shallowest_ = 0;        // no level above this one is held
    std::size_t most_held_ = std::max<std::size_t>(1, directory_openers.levels_to_hold());
};

}  // namespace rubo::platform
