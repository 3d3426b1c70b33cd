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
// in the problem text, each ending in "\r\n"; none of them stops the resolution. A piece
// that is searched recursively from a file system's root (root_named_by) is a problem
// too: it searches the whole of it.

#include <cstdint>

#include "core/collection.h"
#include "core/file_system.h"
#include "core/flat_vector.h"
#include "core/list.h"
#include "core/path_list.h"
#include "core/string.h"
#include "core/type_name.h"
#include "resolve/walk.h"

namespace rubo {

// Resolver flags; the two lowest bits (WALK_DIRECTORIES, WALK_RECURSE) go to the walk.
inline constexpr WalkFlags RESOLVE_NO_LINE_NUMBERS = 0x100;   // messages without "on line %d "
inline constexpr WalkFlags RESOLVE_ALLOW_DUPLICATES = 0x200;  // no duplicate test
inline constexpr WalkFlags RESOLVE_REPORT_EMPTY = 0x400;      // a blank specification is a problem

// How long the problem text may grow. A message that would take it past this length is
// left out, and so is every message after it, so that the text is always the first
// messages in their order; it then ends with the line "<N> more messages were left
// out.\r\n".
inline constexpr std::int64_t problem_text_limit = std::int64_t{16} << 20;

// Sets the limit of the problem text for the resolutions to come (a test cannot make
// 16 MiB of messages cheaply); a negative limit goes back to problem_text_limit.
void set_problem_text_limit(std::int64_t limit);

// Where a run of listed files was found: the next `files` paths of the file list begin
// with the directory their pattern was searched in, `base_length` characters long, and
// lie in the directory whose record is `directory`. What lies below the base was found
// by the walk, and a deletion can insist that every directory on the way still be the
// very directory the walk read there (FileEraser).
struct FileOrigin {
    std::int32_t files = 0;
    std::int32_t base_length = 0;
    std::int32_t directory = 0;
};

template <> struct TypeName<FileOrigin> {
    static const char* name() { return "struct FileOrigin"; }
};

// Where the listed files were found: one origin for each run of them, in the list's
// order, and the records of the directories the origins refer to.
struct FileOrigins {
    FlatVector<FileOrigin> runs;
    FlatVector<DirectoryRecord> directories;

    // The identities of the directories from the base down to the record's directory, the
    // base first, into `levels` (emptied first).
    void levels(std::int32_t directory, FlatVector<platform::DirectoryIdentity>& levels);
};

// Resolves `specification` (null reads as empty) against `default_directory` (may be
// null or empty) into `files`, which is cleared first. Optional outputs (null for
// none): `problems`, emptied first; `line_indices`, the 0-based specification line of
// each listed file, at the same position; `total_size`, the sum of the sizes of all
// files that each pattern matched (a file matched twice counts twice); `origins`, where
// the listed files were found;
// `failures`, each directory that could not be searched, once, in the order they were met
// (they contribute no files, and are no problem of the specification); `progress`, where
// the walks count what they read and list, for one count over the whole specification.
//
// A pattern that cannot be made absolute, because neither its line nor the default
// directory gives it an absolute directory, is reported as not absolute and never
// searched relative to the process's current directory. A piece that holds nothing but
// the recursion suffix and blanks (the first piece of a line included, whatever blanks
// stand before it) names no file and is skipped like an empty one.
void resolve_file_spec(const char* specification, PathList& files, const char* default_directory, String* problems,
                       Collection<std::int32_t>* line_indices, std::int64_t* total_size, WalkFlags flags,
                       FileOrigins* origins = nullptr, Collection<SearchFailure>* failures = nullptr,
                       WalkProgress* progress = nullptr);

}  // namespace rubo
