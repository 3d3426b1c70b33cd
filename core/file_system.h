#pragma once
// File-system primitives over the platform. Every one accepts a null or empty path and
// then fails without asking the platform. Attributes are the platform's 32-bit word
// (0x01 read-only, 0x10 directory); the all-ones word means none could be read.

#include <cstddef>
#include <cstdint>

#include "core/type_name.h"
#include "platform/platform.h"

namespace rubo {

// Deletes one file, clearing its read-only mark first. A directory is not deleted. When
// the deletion fails, the file is left as it was, read-only mark included.
bool erase_file(const char* path);

namespace platform {
class DirectoryChain;
}  // namespace platform

template <> struct TypeName<platform::DirectoryIdentity> {
    static const char* name() { return "struct DirectoryIdentity"; }
};

// Deletes files found below directories, one after another, and never anything outside
// them: the first `base_length` characters of a path name the directory the file was
// found below, and every directory on the rest of the path must be a real directory,
// not a link, when it is opened for the deletion, or nothing is deleted. The read-only
// mark is handled as erase_file does. False for a base length that does not leave a
// file name inside the path. The directories passed through for one file stay open for
// the next, so a file in the same directories as the one before costs no look-up on the
// way; a directory held that way is the real one that was opened under its name.
// Given the identities of the directories on the way, from the one that was searched down
// to the file's own (`level_count` of them), a file any of whose directories is now
// another one (exchanged, moved in or mounted over) is not deleted.
class FileEraser {
public:
    FileEraser();
    ~FileEraser();
    FileEraser(const FileEraser&) = delete;
    FileEraser& operator=(const FileEraser&) = delete;

    bool erase_below(const char* path, int base_length, const platform::DirectoryIdentity* levels = nullptr,
                     int level_count = 0);
    // Moves the file to the system's trash instead of deleting it, by the same way and
    // with the same checks; a read-only file keeps its mark there. Fails, leaving the
    // file where it is, when no trash on the file's own file system can take it.
    bool trash_below(const char* path, int base_length, const platform::DirectoryIdentity* levels = nullptr,
                     int level_count = 0);

private:
    // delete_file_below or trash_file_below of the platform.
    using BelowCall = bool (*)(const char* path, std::size_t base_length, platform::DirectoryChain* chain,
                               const platform::DirectoryIdentity* levels, std::size_t level_count);
    bool act_below(BelowCall call, const char* path, int base_length, const platform::DirectoryIdentity* levels,
                   int level_count);

    platform::DirectoryChain* chain_;
};

// Sets (on) or clears the read-only mark; true when the file ends up in that state. A
// file already in it is not written to.
bool set_read_only(const char* path, bool on);

// The attribute word; 0xFFFFFFFF on failure. A final symbolic link is not followed.
std::uint32_t get_attributes(const char* path);

// Writes the attribute word; true when the platform accepted it. A final symbolic link
// is not followed (on POSIX systems nothing about a link changes).
bool set_attributes(const char* path, std::uint32_t attributes);

// Whether the path names an existing directory that the process may enter. The
// process's current directory is the same after the call as before it.
bool directory_exists(const char* path);

}  // namespace rubo
