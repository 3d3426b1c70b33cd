#include "platform/posix/error.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace rubo::platform {
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

// Each errno with the Windows number that stands for it. ENOENT is decided apart (file or
// path not found); an errno missing here becomes SYSTEM_ERROR_GEN_FAILURE.
constexpr ErrnoMapping mappings[] = {
    {ENOENT, SYSTEM_ERROR_FILE_NOT_FOUND},
    {ENOTDIR, SYSTEM_ERROR_PATH_NOT_FOUND},
    {EMFILE, SYSTEM_ERROR_TOO_MANY_OPEN_FILES},
    {ENFILE, SYSTEM_ERROR_TOO_MANY_OPEN_FILES},
    {EACCES, SYSTEM_ERROR_ACCESS_DENIED},
    {EPERM, SYSTEM_ERROR_ACCESS_DENIED},
    {EISDIR, SYSTEM_ERROR_ACCESS_DENIED},
    {EROFS, SYSTEM_ERROR_WRITE_PROTECT},
    {ENOMEM, SYSTEM_ERROR_NOT_ENOUGH_MEMORY},
    {EBUSY, SYSTEM_ERROR_SHARING_VIOLATION},
    {EWOULDBLOCK, SYSTEM_ERROR_SHARING_VIOLATION},
    {EEXIST, SYSTEM_ERROR_FILE_EXISTS},
    {EINVAL, SYSTEM_ERROR_INVALID_PARAMETER},
    {EBADF, SYSTEM_ERROR_INVALID_HANDLE},
    {ENOSPC, SYSTEM_ERROR_DISK_FULL},
    {EILSEQ, SYSTEM_ERROR_INVALID_NAME},
    {ENOTEMPTY, SYSTEM_ERROR_DIR_NOT_EMPTY},
    {ENAMETOOLONG, SYSTEM_ERROR_NAME_TOO_LONG},
    {ELOOP, SYSTEM_ERROR_CANT_RESOLVE_FILENAME},
    {EXDEV, SYSTEM_ERROR_NOT_SAME_DEVICE},
    {EIO, SYSTEM_ERROR_IO_DEVICE},
    {ENOSYS, SYSTEM_ERROR_INVALID_FUNCTION},
    {EFBIG, SYSTEM_ERROR_FILE_TOO_LARGE},
    {EDEADLK, SYSTEM_ERROR_LOCK_VIOLATION},
    {ETXTBSY, SYSTEM_ERROR_SHARING_VIOLATION},
};

struct OwnText {
    ErrorCode code;
    const char* text;
};

// Conditions that no errno describes well: the end of a directory search, the
// emulated sharing and region locks, and a seek before the start.
constexpr OwnText own_texts[] = {
    {SYSTEM_ERROR_NO_MORE_FILES, "There are no more files."},
    {SYSTEM_ERROR_SHARING_VIOLATION, "The file is in use by another process that does not share it."},
    {SYSTEM_ERROR_LOCK_VIOLATION, "Part of the file is locked by another process."},
    {SYSTEM_ERROR_NEGATIVE_SEEK, "The position would lie before the beginning of the file."},
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

// The message texts, tried in this order: the text of the errno that produced the last
// error when `code` is that error; this backend's own text for a number it sets without
// an errno behind it; the text of the first errno that maps to `code`.
const char* recorded_errno_text(ErrorCode code) {
    return code == last.code && last.original != 0 ? std::strerror(last.original) : nullptr;
}

const char* own_text(ErrorCode code) {
    for (const OwnText& own : own_texts)
        if (own.code == code) return own.text;
    return nullptr;
}

const char* mapped_errno_text(ErrorCode code) {
    if (code == SYSTEM_ERROR_PATH_NOT_FOUND) return std::strerror(ENOENT);
    for (const ErrnoMapping& mapping : mappings)
        if (mapping.code == code) return std::strerror(mapping.error);
    return nullptr;
}

// A copy of `text` in storage that free_error_message releases; null when there is no room.
char* copy_of(const char* text) {
    const std::size_t length = std::strlen(text);
    char* copy = static_cast<char*>(std::malloc(length + 1));
    if (copy != nullptr) std::memcpy(copy, text, length + 1);
    return copy;
}

}  // namespace

namespace posix {

ErrorCode windows_error_for(int error, Missing missing) {
    if (error == ENOENT) return missing == Missing::PATH ? SYSTEM_ERROR_PATH_NOT_FOUND : SYSTEM_ERROR_FILE_NOT_FOUND;
    for (const ErrnoMapping& mapping : mappings)
        if (mapping.error == error) return mapping.code;
    return SYSTEM_ERROR_GEN_FAILURE;
}

void record_errno(int error, Missing missing) {
    last.code = windows_error_for(error, missing);
    last.original = error;
}

void record_path_errno(int error, const char* path) {
    record_errno(error, error == ENOENT && directory_missing(path) ? Missing::PATH : Missing::FILE);
}

bool fail_with_errno(int error) {
    record_errno(error);
    return false;
}

bool fail_with_path_errno(const char* path) {
    record_path_errno(errno, path);
    return false;
}

}  // namespace posix

ErrorCode last_error() { return last.code; }

void set_last_error(ErrorCode code) {
    last.code = code;
    last.original = 0;
}

char* error_message(ErrorCode code) {
    if (code == 0) return nullptr;
    const char* text = recorded_errno_text(code);
    if (text == nullptr) text = own_text(code);
    if (text == nullptr) text = mapped_errno_text(code);
    return text != nullptr ? copy_of(text) : nullptr;
}

void free_error_message(char* message) { std::free(message); }

}  // namespace rubo::platform
