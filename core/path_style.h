#pragma once
// Path rules as pure text, one algorithm for every style. A style's rules (a separator,
// whether drive letters, the colon and two-separator network paths have a role, whether
// names differ by case) come from its Rules type; windows_paths.h and posix_paths.h
// hold the two styles and paths.h picks the one of the running system. Nothing here
// touches the file system.
//
// Texts given as const char* may be null; a null text reads as empty.

#include "core/string.h"

namespace rubo {

template <class Rules> class PathStyle {
public:
    // The separator this style writes when it joins paths.
    static constexpr char separator = Rules::separator;
    // Whether two names that differ only in the case of ASCII letters are different.
    static constexpr Case letter_case = Rules::letter_case;

    static bool is_separator(char c) { return Rules::is_separator(c); }

    // Index of the last separator; where the style has drives and there is none, the
    // index of the first colon; -1 when there is neither.
    static int last_separator(const String& path);
    // Where the file name begins: last separator plus 1.
    static int file_name_start(const String& path);

    // The directory of a path: empty without a separator; through the separator when it
    // ends a root (C:\x gives C:\, C:x gives C:, /x gives /), else up to it.
    static String directory_part(const char* path);
    // The text from file_name_start to the end.
    static String file_name_part(const char* path);
    // The directory and the name with one separator between them. An empty side gives
    // the other unchanged; a directory ending a drive (C:) gets no separator.
    static String join_path(const char* directory, const char* name);
    // Removes everything before file_name_start.
    static void strip_directory(String& path);

    // Index of the last dot after the last separator, -1 when there is none.
    static int extension_position(const char* path);
    // Cuts the path at extension_position (dot included); false and unchanged without one.
    static bool strip_extension(String& path);

    // The upper-case drive letter when the path starts with a letter and a colon, else 0
    // (always 0 in a style without drives).
    static char drive_letter(const char* path);
    // After leading blanks: a network path or "?:" plus a separator where the style has
    // drives, a leading separator where it has not.
    static bool is_absolute_path(const char* path);
    // The current directory the system keeps for a drive (an upper-case letter), as a
    // full path (D:\work); empty when it has none to tell.
    using DriveDirectory = String (*)(char drive);

    // Trims the path of blanks at both ends (in every case), then, when it is relative
    // and the base is absolute, puts the base in front of it. The base is the current
    // directory of its drive: a path from the root of the current drive takes the base's
    // drive, a drive-relative one (D:x) on the base's drive the base's directory, and
    // one on another drive (or beside a network base) that drive's own directory, as
    // `drive_directory` answers it, or the drive's root when it answers none. True when
    // the path was changed beyond the trimming.
    static bool make_absolute_path(String& path, const char* base, DriveDirectory drive_directory = nullptr);
    // The same for the directory of a line (cut_line_directory), which ended before a
    // separator: blanks at its end belong to its last name and stay.
    static bool make_absolute_directory(String& directory, const char* base, DriveDirectory drive_directory = nullptr);

    // Cuts the directory off a line of a file specification, together with the line's
    // last separator, and returns it without that separator (kept where it ends a root).
    // A slash that begins a recursion suffix " /s" of a piece is no separator; every
    // other separator in the result is the style's own. A line
    // whose last separator is its first character, or that has none, keeps its text
    // and gives an empty result.
    static String cut_line_directory(String& line);

    // The root a directory names once its "." and ".." names are resolved as text (".."
    // never climbs above the root), in the style's own spelling: / (however many slashes);
    // with drives C:\ (also C:/), \ (the current drive's), \\server\share\, \\?\C:\ and
    // \\?\UNC\server\share\. Empty when the directory is below a root or relative (C: and
    // C:x name a drive's current directory; \\server alone names no share).
    static String root_named_by(const char* directory);

    // Three-way comparison of two paths by the style's case rule.
    static int compare_paths(const String& first, const String& second);

private:
    // Whether the slash of a recursion suffix " /s" counts as a separator.
    enum class SuffixSlash : bool { SEPARATES, SKIPPED };
    // The index of the last separator (or drive colon) in the first `length` bytes, -1
    // when there is none.
    static int separator_before(const char* text, int length, SuffixSlash suffix_slash);
    static bool ends_root(const char* text, int separator_index);
    static void append_directory(String& out, const char* directory);
    // make_absolute_path once the path is trimmed.
    static bool put_base_before(String& path, const char* base, DriveDirectory drive_directory);
};

}  // namespace rubo
