#pragma once
// Windows' two-word file times as the platform's single number.

#include <windows.h>

#include "platform/platform.h"

namespace platform::win32 {

inline FileTime file_time_of(const FILETIME& time) { return (FileTime{time.dwHighDateTime} << 32) | time.dwLowDateTime; }

}  // namespace platform::win32
