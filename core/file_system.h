#pragma once
// File-system primitives over the platform. Every one accepts a null or empty path and
// then fails without asking the platform. Attributes are the platform's 32-bit word
// (0x01 read-only, 0x10 directory); the all-ones word means none could be read.

#include <cstdint>

// Deletes one file, clearing its read-only mark first. A directory is not deleted. When
// the deletion fails, the file is left as it was, read-only mark included.
bool erase_file(const char* path);

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
