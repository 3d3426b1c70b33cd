#include <windows.h>

#include "platform/backend_helpers.h"
#include "platform/platform.h"
#include "platform/win32/file_time.h"
#include "platform/win32/system_text.h"

namespace rubo::platform {
namespace {

HANDLE handle_of(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

}  // namespace

FileHandle open_file(const char* path, FileAccess access, FileSharing sharing, Disposition disposition,
                     FileAttributes attributes) {
    WideText wide;
    if (!win32::system_path(path, wide) || !parameter_valid(disposition <= DISPOSITION_CREATE_OR_REPLACE))
        return NO_FILE;
    static constexpr DWORD creation[] = {OPEN_ALWAYS, OPEN_EXISTING, CREATE_NEW, CREATE_ALWAYS};
    DWORD desired =
        ((access & ACCESS_READ_DATA) != 0 ? GENERIC_READ : 0) | ((access & ACCESS_WRITE_DATA) != 0 ? GENERIC_WRITE : 0);
    DWORD share = ((sharing & SHARE_READERS) != 0 ? FILE_SHARE_READ : 0) |
                  ((sharing & SHARE_WRITERS) != 0 ? FILE_SHARE_WRITE : 0);
    HANDLE file = CreateFileW(wide.c_str(), desired, share, nullptr, creation[disposition], attributes, nullptr);
    return file == INVALID_HANDLE_VALUE ? NO_FILE : reinterpret_cast<FileHandle>(file);
}

bool close_file(FileHandle file) {
    // NO_FILE is also the value that stands for the current process, which
    // CloseHandle would quietly accept.
    if (file == NO_FILE) {
        set_last_error(SYSTEM_ERROR_INVALID_HANDLE);
        return false;
    }
    return CloseHandle(handle_of(file)) != 0;
}

bool read_file(FileHandle file, void* buffer, std::uint32_t size, std::uint32_t& done) {
    DWORD got = 0;
    bool read = ReadFile(handle_of(file), buffer, size, &got, nullptr) != 0;
    done = got;
    return read;
}

bool write_file(FileHandle file, const void* data, std::uint32_t size, std::uint32_t& done) {
    DWORD put = 0;
    bool written = WriteFile(handle_of(file), data, size, &put, nullptr) != 0;
    done = put;
    return written;
}

std::int64_t seek_file(FileHandle file, std::int64_t offset, SeekOrigin origin) {
    if (!parameter_valid(origin <= SEEK_FROM_END)) return -1;
    static constexpr DWORD method[] = {FILE_BEGIN, FILE_CURRENT, FILE_END};
    LARGE_INTEGER distance, position;
    distance.QuadPart = offset;
    if (!SetFilePointerEx(handle_of(file), distance, &position, method[origin])) return -1;
    return position.QuadPart;
}

bool set_end_of_file(FileHandle file) { return SetEndOfFile(handle_of(file)) != 0; }

bool flush_file(FileHandle file) { return FlushFileBuffers(handle_of(file)) != 0; }

bool get_last_write_time(FileHandle file, FileTime& time) {
    FILETIME written;
    if (!GetFileTime(handle_of(file), nullptr, nullptr, &written)) return false;
    time = win32::file_time_of(written);
    return true;
}

bool lock_file_region(FileHandle file, std::uint64_t offset, std::uint64_t length) {
    return parameter_valid(length > 0) &&
           LockFile(handle_of(file), static_cast<DWORD>(offset), static_cast<DWORD>(offset >> 32),
                    static_cast<DWORD>(length), static_cast<DWORD>(length >> 32)) != 0;
}

bool unlock_file_region(FileHandle file, std::uint64_t offset, std::uint64_t length) {
    return parameter_valid(length > 0) &&
           UnlockFile(handle_of(file), static_cast<DWORD>(offset), static_cast<DWORD>(offset >> 32),
                      static_cast<DWORD>(length), static_cast<DWORD>(length >> 32)) != 0;
}

}  // namespace rubo::platform
