#pragma once
// The operating-system boundary. Everything above this folder reaches the OS only
// through these declarations; the backends live in posix/ and win32/.
//
// Conventions shared by every call below:
// - Error numbers are the Windows system error numbers on every platform (2 file not
//   found, 3 path not found, 5 access denied, 32 sharing violation, ...), so callers can
//   derive their own result codes from them wherever they run. Every failing call sets
//   the thread's last error; a successful call may leave it unchanged.
// - Paths are zero-terminated byte strings in the platform's own syntax. A null or empty
//   path fails without reaching the OS, with last error 3 (path not found). A path longer
//   than the OS accepts fails with the OS's own number (206 or 3); nothing is truncated.
// - Texts are answered into a caller's buffer by one protocol ("text answer"): the
//   result is the size the text needs, terminator included (so at least 1). When that
//   size is at most `size`, the text and its terminator have been written to `buffer`;
//   when it is larger, the buffer holds nothing useful and the caller asks again with a
//   buffer of at least the returned size. 0 means failure (see last_error).

#include <cstddef>
#include <cstdint>

namespace rubo::platform {

using ErrorCode = std::uint32_t;

// The error numbers that callers test for and that the backends report.
constexpr ErrorCode SYSTEM_ERROR_INVALID_FUNCTION = 1;
constexpr ErrorCode SYSTEM_ERROR_FILE_NOT_FOUND = 2;
constexpr ErrorCode SYSTEM_ERROR_PATH_NOT_FOUND = 3;
constexpr ErrorCode SYSTEM_ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr ErrorCode SYSTEM_ERROR_ACCESS_DENIED = 5;
constexpr ErrorCode SYSTEM_ERROR_INVALID_HANDLE = 6;
constexpr ErrorCode SYSTEM_ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr ErrorCode SYSTEM_ERROR_NOT_SAME_DEVICE = 17;
constexpr ErrorCode SYSTEM_ERROR_NO_MORE_FILES = 18;
constexpr ErrorCode SYSTEM_ERROR_WRITE_PROTECT = 19;
// A device attached to the system is not functioning: the number for any failure that
// no other number describes.
constexpr ErrorCode SYSTEM_ERROR_GEN_FAILURE = 31;
constexpr ErrorCode SYSTEM_ERROR_SHARING_VIOLATION = 32;
constexpr ErrorCode SYSTEM_ERROR_LOCK_VIOLATION = 33;
constexpr ErrorCode SYSTEM_ERROR_FILE_EXISTS = 80;
constexpr ErrorCode SYSTEM_ERROR_INVALID_PARAMETER = 87;
constexpr ErrorCode SYSTEM_ERROR_DISK_FULL = 112;
constexpr ErrorCode SYSTEM_ERROR_INVALID_NAME = 123;
constexpr ErrorCode SYSTEM_ERROR_NEGATIVE_SEEK = 131;
constexpr ErrorCode SYSTEM_ERROR_DIR_NOT_EMPTY = 145;
constexpr ErrorCode SYSTEM_ERROR_NAME_TOO_LONG = 206;
constexpr ErrorCode SYSTEM_ERROR_FILE_TOO_LARGE = 223;
constexpr ErrorCode SYSTEM_ERROR_IO_DEVICE = 1117;
// A chain of symbolic links too long (or circular) to resolve a name through.
constexpr ErrorCode SYSTEM_ERROR_CANT_RESOLVE_FILENAME = 1921;

// The calling thread's last error number, set by the last failing platform call.
ErrorCode last_error();
void set_last_error(ErrorCode code);

// The system's message text for an error number, in storage that the platform
// allocates, or null when the system has no text for it. Release it with
// free_error_message.
char* error_message(ErrorCode code);
void free_error_message(char* message);

// ---------------------------------------------------------------------------------
// File attributes and times

// Attribute bits. On POSIX systems only READ_ONLY, DIRECTORY, ARCHIVE (every
// non-directory) and REPARSE_POINT (a symbolic link, and a directory found by a search
// that is the mount point of another file system, as a mounted volume is on Windows) occur.
using FileAttributes = std::uint32_t;
constexpr FileAttributes ATTRIBUTE_READ_ONLY = 0x01;
constexpr FileAttributes ATTRIBUTE_HIDDEN = 0x02;
constexpr FileAttributes ATTRIBUTE_SYSTEM = 0x04;
constexpr FileAttributes ATTRIBUTE_DIRECTORY = 0x10;
constexpr FileAttributes ATTRIBUTE_ARCHIVE = 0x20;
constexpr FileAttributes ATTRIBUTE_NORMAL = 0x80;
constexpr FileAttributes ATTRIBUTE_REPARSE_POINT = 0x400;
// What get_file_attributes answers when it fails.
constexpr FileAttributes ATTRIBUTES_INVALID = 0xFFFFFFFF;

// A point in time as 100-nanosecond intervals (ticks) since 1 January 1601, universal time.
using FileTime = std::uint64_t;
constexpr FileTime TICKS_PER_SECOND = 10'000'000;
// Seconds from 1 January 1601, where file times count from, to 1 January 1970.
constexpr std::int64_t EPOCH_DIFFERENCE = 11'644'473'600;

// A file time broken down into local calendar fields (month 1-12, day 1-31).
struct LocalTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The attribute bits of a file or directory, ATTRIBUTES_INVALID on failure. A final
// symbolic link is not followed: it answers REPARSE_POINT, plus DIRECTORY when it
// leads to a directory.
FileAttributes get_file_attributes(const char* path);

// Which directory a path led to: its volume (the device number on POSIX systems, the
// volume serial number on Windows), its number there (the inode, or the file ID) and,
// where the system tells it, the mount it was reached through (a bind mount of a
// directory shows the same volume and number through another mount). Two identities
// name the same directory only when both are known, volume and number are equal, and
// the mounts are equal where both are known.
struct DirectoryIdentity {
    std::uint64_t volume = 0;
    std::uint64_t file = 0;
    std::uint64_t mount = 0;
    bool known = false;
    bool mount_known = false;
    bool same_as(const DirectoryIdentity& other) const {
        return known && other.known && volume == other.volume && file == other.file &&
               (!mount_known || !other.mount_known || mount == other.mount);
    }
};

// Sets the attribute bits that the platform keeps. On POSIX systems only READ_ONLY
// matters: set, it clears every write permission; clear, it gives the owner write
// permission back. A final symbolic link is never followed: on a link nothing changes
// and the call succeeds.
bool set_file_attributes(const char* path, FileAttributes attributes);

// Removes a file (not a directory: that fails with 5). On POSIX systems a file that is
// open elsewhere is removed as POSIX does it, the open handles keep working.
bool delete_file(const char* path);

// Removes a file that was found below a directory, and never anything outside that
// directory. The first `base_length` bytes of `path` name the directory, which is taken
// as it stands (links in it are followed); the rest, after a separator, leads from
// there to the file. Every directory on that rest must be a real directory, not a
// symbolic link or junction, when it is opened for the removal, else nothing is removed
// and the call fails (3 path not found, or 1921 for a link loop). A "." or ".." on the
// way fails with 123, a base that is empty or not followed by a separator with 87, a
// directory at the end with 5. A read-only file is removed too: its mark is cleared
// first where the platform needs that, never through a link, and set again when the
// removal fails.
//
// POSIX systems: the directory is opened, then each directory below it relative to the
// one above, refusing links, and the file is removed relative to the last one; since no
// full path is looked up after the first step, exchanging a directory for a link at any
// moment cannot lead the removal elsewhere. Windows: each directory on the way is held
// open, refusing a reparse point and not sharing deletion, until the file is gone, so
// that none of them can be renamed, removed or replaced meanwhile.
//
// With `levels` (`level_count` of them), every directory on the way must be the very one
// a reading found there: levels[0] is the base, levels[i] the i-th directory below it,
// and there is one for each directory on the way, the file's own included. When one of
// them is now another directory (it, or a directory above it, was exchanged, moved in or
// mounted over meanwhile), nothing is removed and the call fails with 3. Without levels
// (a count of 0) the base is taken as it stands; a count that does not fit the path
// fails with 87.
//
// With a chain, the directories opened for one removal stay open for the next: those
// that the next path shares are not opened again, the others are closed. A directory
// held that way is still the real directory that was opened under its name, even if the
// name has since been given to a link.
//
// The chain holds at most as many directories as the process's descriptor limit leaves
// room for, the deepest ones, and opens those it let go of again from the nearest one it
// holds, checking their identities anew; so any depth is reached, and going down a tree
// costs one opening per directory. When the process runs out of descriptors it lets go
// of what it holds and tries once more, so that a limit never turns a removable file
// into a failure.
class DirectoryChain;
DirectoryChain* new_directory_chain();
void free_directory_chain(DirectoryChain* chain);
bool delete_file_below(const char* path, std::size_t base_length, DirectoryChain* chain = nullptr,
                       const DirectoryIdentity* levels = nullptr, std::size_t level_count = 0);

// Moves a file found below a directory to the system's trash instead of removing it, so
// that the desktop can put it back: the same arguments, the same way down and the same
// checks and failures as delete_file_below, and nothing outside the directory is touched.
// A read-only file keeps its mark; a directory at the end fails with 5. The file is
// moved, never copied and never destroyed: where no trash can take it, the call fails
// and the file stays where it was, with 17 (not same device) when the trash would have
// to be on another file system or volume, else with the error that stood in the way.
//
// POSIX systems: the trash of the desktop's file managers. A file on the mount of the
// home trash ($XDG_DATA_HOME/Trash, else $HOME/.local/share/Trash, or the nearest of its
// directories that exists) goes there; one on another mount goes to $top/.Trash/<uid>
// when $top/.Trash is a real directory with the sticky bit, else to $top/.Trash-<uid>,
// where $top is that mount's mount point (from the process's mount table). Trash
// directories are created (0700) when missing; one that is a symbolic link is refused,
// and so is a <uid> or .Trash-<uid> directory that is not this user's own. A record of
// where the file came from (an absolute path in the home trash, one relative to $top
// there) and when is written into info/<name>.trashinfo, created exclusively (<name>.2,
// <name>.3, ... when a record or a file in files/ has the name; a name too long for a
// directory entry is cut short), then the file is renamed into files/ under that name
// from the directory it was found in, never over an entry there; when that fails the
// record is removed again.
//
// Windows: the Recycle Bin, through the shell, which takes the long form of the path,
// while every directory on the way is held as for a removal. A file that the shell
// destroys instead of moving it to the Recycle Bin (a volume without one, a file too
// large) is kept by a second name in its directory made just before, gets its own name
// back and fails with 17; so a volume whose file system has no hard links fails too.
bool trash_file_below(const char* path, std::size_t base_length, DirectoryChain* chain = nullptr,
                      const DirectoryIdentity* levels = nullptr, std::size_t level_count = 0);

// Converts a file time to the local time zone and breaks it down. Fails with 87 for
// times the platform cannot represent (from 2^63 on).
bool file_time_to_local_time(FileTime time, LocalTime& local);

// ---------------------------------------------------------------------------------
// Directory search

// What a directory search tells of an entry besides its names.
struct EntryDetails {
    std::uint32_t attributes = 0;
    FileTime creation_time = 0;
    FileTime last_access_time = 0;
    FileTime last_write_time = 0;
    std::uint32_t size_high = 0;  // the size is size_high * 2^32 + size_low bytes
    std::uint32_t size_low = 0;
};

// One entry found by a directory search. Names are zero-terminated; the short name is
// the generated 8.3 alias where the file system has one, else empty. On Windows they
// are WTF-8 (see wtf8.h), up to three bytes for each UTF-16 unit of the system's name.
struct DirectoryEntry : EntryDetails {
    char name[1024] = {};
    char short_name[40] = {};
};

// How much of each entry a search must fill.
enum FindDetail : std::uint32_t {
    FIND_ALL_DETAILS = 0,  // every field
    // Only the name and the DIRECTORY and REPARSE_POINT bits are sure to be right; the
    // other fields may be left 0. Lets a backend skip asking for each entry's details
    // when it already knows what kind of entry it is.
    FIND_KIND_ONLY = 1,
};

// An open search; the caller only passes it back.
struct Search;

// Starts a search for a directory and a file-name pattern ("dir/*.obj" on POSIX,
// "C:\dir\*.obj" on Windows) and fills `entry` with the first match. Wildcards: `*`
// any run of characters, `?` exactly one, every other character literal; the pattern
// `*.*` matches every name. Names match without regard to ASCII case on Windows (the
// long name only) and exactly on POSIX systems, where the matches come sorted bytewise
// and a non-root directory reports "." and ".." first, as Windows does.
// Null when nothing matches (2), the directory is missing (3) or unreadable (5).
Search* find_first(const char* pattern, DirectoryEntry& entry, FindDetail detail = FIND_ALL_DETAILS);

// The next match; false with last error 18 when there are no more.
bool find_next(Search* search, DirectoryEntry& entry);

// Ends a search and releases it; null is accepted and ignored.
void find_close(Search* search);

// Whether names (and texts) compare with the ASCII letters A-Z told from a-z.
enum class Case : bool { INSENSITIVE = false, SENSITIVE = true };

// The matcher behind the searches, for callers that need the same rules.
bool wildcard_match(const char* pattern, const char* name, Case letter_case);

// A name as the system compares the names of one directory, answered by the text protocol:
// two names are one name there exactly when their folded forms are the same bytes. On
// POSIX systems a name folds to itself; on Windows its UTF-16 units are upper-cased by the
// system's own table, as CompareStringOrdinal compares them ignoring case, and answered
// as WTF-8.
std::uint32_t fold_name(const char* name, char* buffer, std::uint32_t size);

// What kind of entry a reading found: a directory, a reparse point (a symbolic link,
// a junction, or a directory where another file system is mounted, which a walk must
// not enter), or anything else.
enum class EntryKind : std::uint8_t { OTHER, DIRECTORY, REPARSE_POINT };

// A directory held open, to be read and to open the directories inside it relative to
// it: whatever becomes of the path it was opened by, it stays the directory that was
// opened, so a walk that opens each directory below another relative to that one never
// looks a path up twice and reaches any depth. Owned by the caller; close_directory
// releases it. A directory may be used on any thread, by one thread at a time.
struct Directory;

// Opens the directory `path` (the current one when empty) as it stands: links on the
// way are followed. Null when it cannot be opened, with 3 when it is missing.
Directory* open_directory(const char* path);

// Opens the directory `name` inside `parent` without following a link: null with 1921
// when it is a symbolic link, with 3 when it is missing or no directory, and with 3 as
// well when it is another directory than `expected` (where that is known) or the mount
// point of another file system (or another mount), which a walk does not enter.
Directory* open_directory_below(Directory* parent, const char* name, const DirectoryIdentity& expected);

// Which directory it is: known where the system tells it.
DirectoryIdentity directory_identity(const Directory* directory);

// How many directories a process may keep open at once without crowding out its other
// handles: a share of the descriptor limit on POSIX systems (at least 1), a fixed number
// on Windows.
std::uint32_t directories_to_hold();

// Closes it; null is accepted and ignored.
void close_directory(Directory* directory);

// The entries of one directory as one reading found them, owned by the caller: in the
// order searches serve them ("." and ".." first where the platform reports them; sorted
// bytewise on POSIX systems), each name once, with its kind. A reading depends on nothing
// but itself, so it may be made on one thread and used on another, and any number of
// them may exist at once.
//
// The full details of an entry are taken on request, from the directory the reading was
// made from, while that is open and until release(); after that details fail with 6.
class DirectoryReading {
public:
    DirectoryReading() = default;
    DirectoryReading(const DirectoryReading& other);  // a copy takes no details
    DirectoryReading(DirectoryReading&& other) noexcept;
    DirectoryReading& operator=(DirectoryReading other) noexcept;
    ~DirectoryReading();

    std::size_t count() const;
    const char* name(std::size_t index) const;  // zero-terminated
    EntryKind kind(std::size_t index) const;
    // Which directory the entry at `index` was when the reading found it, for an entry
    // that is a directory and where the system tells it without asking each entry
    // (POSIX systems); else not known.
    DirectoryIdentity identity(std::size_t index) const;

    // Fills `entry` with every detail of the entry at `index`, as find_first does. False
    // with last error 2 when the entry has gone since the reading, with another number
    // when the directory can no longer be searched.
    bool details(std::size_t index, DirectoryEntry& entry);

    // Takes no further details from the directory.
    void release();

    struct Data;  // what a backend keeps

private:
    friend bool read_directory(Directory* directory, DirectoryReading& reading);
    Data* data_ = nullptr;
};

// Reads the open directory into `reading`, replacing what it held; a directory is read
// once. False when it cannot be read to its end (a read that fails part way is no
// reading), with the system's error; the reading is then empty.
bool read_directory(Directory* directory, DirectoryReading& reading);

// ---------------------------------------------------------------------------------
// Working places (answered by the text protocol described at the top)

// The current directory of the process, and changing it.
std::uint32_t get_current_directory(char* buffer, std::uint32_t size);
bool set_current_directory(const char* path);

// The current directory the system keeps for a drive (a letter A-Z, either case), as
// it resolves "X:" alone: the process's current directory on its own drive, on another
// the one its =X: environment variable names, else the drive's root. Systems without
// drives fail with 87 (invalid parameter), as Windows does for a letter that is none.
std::uint32_t get_drive_directory(char drive, char* buffer, std::uint32_t size);

// The Windows directory; "/" on POSIX systems.
std::uint32_t get_system_directory(char* buffer, std::uint32_t size);

// The full path of the running program file.
std::uint32_t get_program_path(char* buffer, std::uint32_t size);

// `text` with every %NAME% reference replaced by the value of the environment variable
// NAME, whose name is matched without regard to ASCII case. A reference to a variable
// that is not defined, "%%" and a lone "%" stay as written.
std::uint32_t expand_environment(const char* text, char* buffer, std::uint32_t size);

// The directory for temporary files, ending with a separator: Windows' own choice;
// $TMPDIR or /tmp on POSIX systems.
std::uint32_t get_temp_path(char* buffer, std::uint32_t size);

// Creates a new empty file with a unique name in `directory`, made of up to three
// characters of `prefix`, hexadecimal digits and ".tmp", and answers its full name.
// When the buffer is too small nothing is created.
std::uint32_t create_temp_file(const char* directory, const char* prefix, char* buffer, std::uint32_t size);

// ---------------------------------------------------------------------------------
// File handles

// An open file; NO_FILE when there is none.
using FileHandle = std::intptr_t;
constexpr FileHandle NO_FILE = -1;

// What a handle may do (access) and what it lets other handles do at the same time
// (sharing). While a handle is open, another open fails with 32 when it asks for an
// access that the handle does not share, or does not share an access that the handle
// has. A handle without any access takes no part in this.
using FileAccess = std::uint32_t;
using FileSharing = std::uint32_t;
constexpr FileAccess ACCESS_READ_DATA = 0x1;
constexpr FileAccess ACCESS_WRITE_DATA = 0x2;
constexpr FileSharing SHARE_READERS = 0x1;
constexpr FileSharing SHARE_WRITERS = 0x2;

enum Disposition : std::uint32_t {
    DISPOSITION_OPEN_OR_CREATE = 0,     // open, creating the file when it is missing
    DISPOSITION_OPEN_EXISTING = 1,      // open; 2 when the file is missing
    DISPOSITION_CREATE_NEW = 2,         // create; 80 when the file exists
    DISPOSITION_CREATE_OR_REPLACE = 3,  // create, or empty an existing file
};

enum SeekOrigin : std::uint32_t { SEEK_FROM_START = 0, SEEK_FROM_CURRENT = 1, SEEK_FROM_END = 2 };

// Opens or creates a file. `attributes` applies to a file that this call creates
// (ATTRIBUTE_NORMAL for a plain one, ATTRIBUTE_READ_ONLY to create it read-only).
// A directory cannot be opened (5). On POSIX systems sharing is honoured between
// handles of this layer in every process on the machine.
FileHandle open_file(const char* path, FileAccess access, FileSharing sharing, Disposition disposition,
                     FileAttributes attributes);

bool close_file(FileHandle file);

// Reads up to `size` bytes at the file position; `done` tells how many arrived (fewer
// only at the end of the file).
bool read_file(FileHandle file, void* buffer, std::uint32_t size, std::uint32_t& done);

// Writes `size` bytes at the file position; `done` tells how many were written.
bool write_file(FileHandle file, const void* data, std::uint32_t size, std::uint32_t& done);

// Moves the file position and answers the new one from the start, -1 on failure (131
// for a position before the start).
std::int64_t seek_file(FileHandle file, std::int64_t offset, SeekOrigin origin);

// Cuts or extends the file to end at the file position.
bool set_end_of_file(FileHandle file);

// Writes the file's buffered data through to the device.
bool flush_file(FileHandle file);

bool get_last_write_time(FileHandle file, FileTime& time);

// Locks a byte range against other handles (33 when another holds part of it) and
// releases it again; the range must not be empty (87). On POSIX systems the lock is
// advisory, shared instead of exclusive on a handle without write access, and the
// range must end below 2^63 - 256, where the sharing emulation keeps its own locks.
bool lock_file_region(FileHandle file, std::uint64_t offset, std::uint64_t length);
bool unlock_file_region(FileHandle file, std::uint64_t offset, std::uint64_t length);

// ---------------------------------------------------------------------------------
// Process, time and console

void sleep_milliseconds(std::uint32_t milliseconds);

// The name of the backend this program was built with: "POSIX" or "Win32".
const char* backend_name();

// The program's arguments in the text of this layer: on Windows read from the wide
// command line by the C runtime's own rules and converted to UTF-8, with `argc` set to
// their count; on POSIX systems `argv` itself. The texts stay until the process ends.
char** program_arguments(int& argc, char** argv);

// Console input, for one thread. Takes the console's keys now, so that a Ctrl+C from
// here on is a key press instead of the end of the process; the first of the calls
// below does it otherwise. On a POSIX terminal echo and line editing go off (and an
// interrupt no longer throws queued output away) until the process ends in whatever
// way; a process that is not in the terminal's foreground group leaves the terminal
// alone and reads no keys there.
void take_console();

// Whether a key press waits to be read; never blocks. Ctrl+C counts as a key press
// with code 3, Escape has code 27. When standard input is not a console, its bytes
// are the key presses, and at its end no key is pending.
bool key_pending();

// Reads one key press without echo, waiting for it. At the end of a standard input
// that is not a console, and in a background process, answers 0.
int read_key();

// Whether an abort key has been pressed and waits to be read: Ctrl+C, or Escape typed
// at a terminal or console. The keys typed there are read up to it, and all of them
// when there is none; the bytes of a standard input that is not a terminal or console
// are left waiting.
bool abort_key_pressed();

// Ends the process at once with exit code `code`: no exit-time work is done, except
// that a POSIX terminal first gets back the settings that the console calls changed.
[[noreturn]] void exit_at_once(int code);

// Writes bytes to standard output as they stand (no line-end translation on any
// platform). False when the bytes could not all be written, a reader that has gone
// away (a closed pipe) included: on POSIX systems the first call makes the process
// ignore SIGPIPE, so that such a write fails instead of ending the process.
bool write_standard_output(const void* data, std::size_t size);

// Writes bytes to standard error as they stand, at once; false as for write_standard_output.
bool write_standard_error(const void* data, std::size_t size);

enum StandardStream : int { STANDARD_OUTPUT = 1, STANDARD_ERROR = 2 };

// Whether a standard stream is a terminal (a console on Windows), where a person reads it.
bool is_terminal(StandardStream stream);

// Whether standard output is the system's null device, which takes every write and
// throws it away, so that no write to it can fail. False where that cannot be told.
bool output_discarded();

}  // namespace rubo::platform
