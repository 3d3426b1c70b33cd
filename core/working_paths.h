#pragma once
// The places the program works with. The fixed ones are computed once by
// init_working_paths into the start-up objects (startup_objects.h: program_path,
// program_directory, program_name, windows_directory, command_interpreter); the current
// directory is read anew on every request; the temporary directory is read on first use.

#include "core/startup_objects.h"
#include "core/string.h"

namespace rubo {

// Reads the Windows directory (the system directory of the platform, "/" on POSIX
// systems) and the program's own path and splits it into directory, name and drive;
// sets the command interpreter from %comspec% (an undefined variable stays as written;
// a failed or blank expansion falls back to "command.com" in the Windows directory),
// enclosed in double quotes when it holds a blank. A second call does nothing.
void init_working_paths();

// The upper-case drive letter of the program path, 0 when it has none.
char program_drive();

// The process's current directory, whatever its length; empty when it cannot be read.
String current_directory();

// The current directory the system keeps for a drive (a letter): on Windows the
// drive's own (its =X: environment variable, else its root), or the process's current
// directory on the current drive. Empty where the system has no drives; it serves
// make_absolute_path (paths.h) as the drive-relative paths' answer.
String drive_directory(char drive);

// The directory for temporary files, read from the platform on first use and kept
// (normally ending with a separator); "c:\temp" or "/tmp" when the platform has none.
const String& temp_directory();

// Creates a new empty file with a unique name KWB<hex>.tmp in the directory (the
// temporary directory when it is null or empty) and answers its full name; empty when
// that failed.
String temp_file_name(const char* directory);

// Replaces every %NAME% reference in the text by the environment variable's value,
// whatever the length of the result. False, and the text unchanged, on failure.
bool expand_environment(String& text);

}  // namespace rubo
