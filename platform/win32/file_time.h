#pragma once
// Windows' two-word file times as the platform's single number.

#include <windows.h>

#include <cstdint>

#include "platform/platform.h"

namespace rubo::platform::win32 {

inline FileTime file_time_of(const FILETIME& time) {
    return (FileTime{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

// The details of an entry as a listing of its directory gives them.
inline EntryDetails details_of(const WIN32_FIND_DATAW& data) {
    return {data.dwFileAttributes,
            file_time_of(data.ftCreationTime),
            file_time_of(data.ftLastAccessTime),
            file_time_of(data.ftLastWriteTime),
            data.nFileSizeHigh,
            data.nFileSizeLow};
}

inline EntryDetails details_of(const FILE_ID_BOTH_DIR_INFO& entry) {
    const auto time = [](const LARGE_INTEGER& value) { return static_cast<FileTime>(value.QuadPart); };
    const auto size = static_cast<std::uint64_t>(entry.EndOfFile.QuadPart);
    return {entry.FileAttributes,
            time(entry.CreationTime),
            time(entry.LastAccessTime),
            time(entry.LastWriteTime),
            static_cast<std::uint32_t>(size >> 32),
            static_cast<std::uint32_t>(size)};
}

}  // namespace rubo::platform::win32
