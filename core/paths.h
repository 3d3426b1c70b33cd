#pragma once
// The path style of the running system, and the path operations in that style. Paths
// are made absolute as the system makes them: a drive-relative path on another drive
// than the base's takes that drive's current directory from the system.

#include "core/posix_paths.h"
#include "core/windows_paths.h"
#include "core/working_paths.h"

namespace rubo {

#ifdef _WIN32
using NativePaths = WindowsPaths;
#else
using NativePaths = PosixPaths;
#endif

inline constexpr char path_separator = NativePaths::separator;
inline constexpr Case path_case = NativePaths::letter_case;

inline int last_separator(const String& path) { return NativePaths::last_separator(path); }
inline String directory_part(const char* path) { return NativePaths::directory_part(path); }
inline String file_name_part(const char* path) { return NativePaths::file_name_part(path); }
inline String join_path(const char* directory, const char* name) { return NativePaths::join_path(directory, name); }
inline void strip_directory(String& path) { NativePaths::strip_directory(path); }
inline int extension_position(const char* path) { return NativePaths::extension_position(path); }
inline bool strip_extension(String& path) { return NativePaths::strip_extension(path); }
inline char drive_letter(const char* path) { return NativePaths::drive_letter(path); }
inline bool is_absolute_path(const char* path) { return NativePaths::is_absolute_path(path); }
inline bool make_absolute_path(String& path, const char* base) {
    return NativePaths::make_absolute_path(path, base, drive_directory);
}
inline bool make_absolute_directory(String& directory, const char* base) {
    return NativePaths::make_absolute_directory(directory, base, drive_directory);
}
inline String cut_line_directory(String& line) { return NativePaths::cut_line_directory(line); }
inline String root_named_by(const char* directory) { return NativePaths::root_named_by(directory); }
inline int compare_paths(const String& first, const String& second) {
    return NativePaths::compare_paths(first, second);
}

}  // namespace rubo
