#pragma once
// Setting a file's last-write time to a moment given in local time, for tests that read
// it back or order files by it.

#include <chrono>
#include <ctime>
#include <filesystem>
#include <string>

namespace rubo::test {

inline void set_local_write_time(const std::string& path, int year, int month, int day, int hour, int minute,
                                 int second) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    const auto moment = std::chrono::system_clock::from_time_t(std::mktime(&local));
    std::filesystem::last_write_time(path, std::chrono::file_clock::from_sys(moment));
}

}  // namespace rubo::test
