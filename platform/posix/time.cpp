#include <cerrno>
#include <ctime>

#include "platform/backend_helpers.h"
#include "platform/platform.h"

namespace rubo::platform {

bool file_time_to_local_time(FileTime time, LocalTime& local) {
    // The same limit as Windows sets, well inside what the calendar fields can hold.
    tm fields{};
    time_t seconds = static_cast<time_t>(static_cast<std::int64_t>(time / TICKS_PER_SECOND) - EPOCH_DIFFERENCE);
    if (!parameter_valid(time < (FileTime{1} << 63) && localtime_r(&seconds, &fields) != nullptr)) return false;
    local.year = fields.tm_year + 1900;
    local.month = fields.tm_mon + 1;
    local.day = fields.tm_mday;
    local.hour = fields.tm_hour;
    local.minute = fields.tm_min;
    local.second = fields.tm_sec;
    return true;
}

void sleep_milliseconds(std::uint32_t milliseconds) {
    timespec remaining{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000};
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

}  // namespace rubo::platform
