#include "platform/posix/error.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace platform {
namespace {

struct LastError {
    ErrorCode code = 0;
    int original = 0;  // the errno behind `code`, 0 when it was set directly
};
thread_local LastError last;

struct ErrnoMapping {
    int error;
    ErrorCode code;
};

// Windows numbers: 1 invalid function, 2 file not found, 4 too many open files,
// 5 access denied, 8 not enough memory, 16 current directory, 19 write protect,
// 28 disk full (handle), 32 sharing violation, 33 lock violation, 80 file exists,
// 87 invalid parameter, 112 disk full, 123 invalid name, 145 directory not empty,
// 183 already exists, 206 filename too long, 267 directory name invalid, 1921 link loop.
constexpr ErrnoMapping mappings[] = {
    {ENOENT, 2},     {ENOTDIR, 3},      {EMFILE, 4},    {ENFILE, 4},     {EACCES, 5},
    {EPERM, 5},      {EISDIR, 5},       {EROFS, 19},    {ENOMEM, 8},     {EBUSY, 32},
    {EWOULDBLOCK, 32}, {EEXIST, 80},    {EINVAL, 87},   {EBADF, 6},      {ENOSPC, 112},
    {EILSEQ, 123},   {ENOTEMPTY, 145},  {ENAMETOOLONG, 206}, {ELOOP, 1921}, {EXDEV, 17},
    {EIO, 1117},     {ENOSYS, 1},       {EFBIG, 223},   {EDEADLK, 33},   {ETXTBSY, 32},
};

struct OwnText {
    ErrorCode code;
    const char* text;
};

// Conditions that no errno describes well: the end of a directory search, the
// emulated sharing and region locks, and a seek before the start.
constexpr OwnText own_texts[] = {
    {18, "There are no more files."},
    {32, "The file is in use by another process that does not share it."},
    {33, "Part of the file is locked by another process."},
    {131, "The position would lie before the beginning of the file."},
};

// Whether the directory part of `path` (everything before its last slash) is missing.
// A path without a slash lies in the current directory, which is taken to exist.
bool directory_missing(const char* path) {
    const char* slash = std::strrchr(path, '/');
    if (slash == nullptr || slash == path) return false;
    std::string parent(path, static_cast<std::size_t>(slash - path));
    struct stat status;
    return stat(parent.c_str(), &status) != 0;
}

}  // namespace

namespace posix {

ErrorCode windows_error_for(int error, bool parent_missing) {
    if (error == ENOENT) return parent_missing ? 3 : 2;
    for (const ErrnoMapping& mapping : mappings)
        if (mapping.error == error) return mapping.code;
    return 31;  // a device attached to the system is not functioning: the catch-all
}

void record_errno(int error, bool parent_missing) {
    last.code = windows_error_for(error, parent_missing);
    last.original = error;
}

void record_path_errno(int error, const char* path) { record_errno(error, error == ENOENT && directory_missing(path)); }

}  // namespace posix

ErrorCode last_error() { return last.code; }

void set_last_error(ErrorCode code) {
    last.code = code;
    last.original = 0;
}

char* error_message(ErrorCode code) {
    if (code == 0) return nullptr;
    // The text of the errno that produced the number; for the numbers that this
    // backend sets without an errno behind them, its own text; else the text of the
    // first errno that maps to the number.
    int error = code == last.code ? last.original : 0;
    const char* text = nullptr;
    for (const OwnText& own : own_texts)
        if (error == 0 && own.code == code) text = own.text;
    if (error == 0 && text == nullptr) {
        if (code == 3) error = ENOENT;
        for (const ErrnoMapping& mapping : mappings)
            if (error == 0 && mapping.code == code) error = mapping.error;
        if (error == 0) return nullptr;
    }
    if (text == nullptr) text = std::strerror(error);
    size_t length = std::strlen(text);
    char* message = static_cast<char*>(std::malloc(length + 1));
    if (message != nullptr) std::memcpy(message, text, length + 1);
    return message;
}

void free_error_message(char* message) { std::free(message); }

}  // namespace platform
