#include <windows.h>

#include "platform/platform.h"

namespace rubo::platform {

bool file_time_to_local_time(FileTime time, LocalTime& local) {
    FILETIME universal{static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
    FILETIME local_time;
    SYSTEMTIME fields;
    if (!FileTimeToLocalFileTime(&universal, &local_time) || !FileTimeToSystemTime(&local_time, &fields)) return false;
    local.year = fields.wYear;
    local.month = fields.wMonth;
    local.day = fields.wDay;
    local.hour = fields.wHour;
    local.minute = fields.wMinute;
    local.second = fields.wSecond;
    return true;
}

void sleep_milliseconds(std::uint32_t milliseconds) { Sleep(milliseconds); }

}  // namespace rubo::platform
