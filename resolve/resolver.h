#pragma once
// The file specification resolver: turns a specification typed by a user into the full
// paths of existing files, each named once.
//
// Grammar: the specification is a sequence of lines (a line ends at a carriage return
// or a line feed; "\r\n" and "\n\r" are one line end). Each line is trimmed of
// whitespace; its directory is everything before its last path separator (see
// cut_line_directory) and serves every pattern of the line; the rest is split at ";"
// into patterns with the wildcards * and ?, each optionally ending in " /s". Empty and
// blank patterns are skipped. A line without a directory uses the default directory.
//
// Files are listed line by line, pattern by pattern from left to right, each pattern
// in the walk's order; the first occurrence of a path wins. Problems become messages
// in the problem text, each ending in "\r\n"; none of them stops the resolution.

#include <cstdint>

#include "core/collection.h"
#include "core/list.h"
#include "core/string.h"
#include "resolve/walk.h"

// Resolver flags; the two lowest bits (WALK_DIRECTORIES, WALK_RECURSE) go to the walk.
inline constexpr std::uint32_t RESOLVE_NO_LINE_NUMBERS = 0x100;   // messages without "on line %d "
inline constexpr std::uint32_t RESOLVE_ALLOW_DUPLICATES = 0x200;  // no duplicate test
inline constexpr std::uint32_t RESOLVE_REPORT_EMPTY = 0x400;      // a blank specification is a problem

// Resolves `specification` (null reads as empty) against `default_directory` (may be
// null or empty) into `files`, which is cleared first. Optional outputs (null for
// none): `problems`, emptied first; `line_indices`, the 0-based specification line of
// each listed file, at the same position; `total_size`, the sum of the sizes of all
// files that each pattern matched (a file matched twice counts twice); `base_lengths`,
// at the same position as each listed file, the length of the directory its pattern was
// searched in, which the file's path begins with: what lies below it was found by the
// walk, and a deletion can insist that it still be real directories (FileEraser).
//
// A pattern that cannot be made absolute, because neither its line nor the default
// directory gives it an absolute directory, is reported as not absolute and never
// searched relative to the process's current directory. A piece (or a line) that
// holds nothing but the recursion suffix names no file and is skipped like an empty one.
void resolve_file_spec(const char* specification, List<String>& files, const char* default_directory,
                       String* problems, Collection<std::int32_t>* line_indices, std::int64_t* total_size,
                       std::uint32_t flags, Collection<std::int32_t>* base_lengths = nullptr);
