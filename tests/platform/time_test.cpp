#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/platform.h"

using namespace rubo;

namespace {

// 15 July 2001, 12:34:56 universal time, as a file time.
constexpr platform::FileTime MIDSUMMER_2001 =
    (995200496ull + platform::EPOCH_DIFFERENCE) * platform::TICKS_PER_SECOND + 1234567;

TEST(LocalTime, BreaksDownFileTimes) {
    platform::LocalTime local;
    ASSERT_TRUE(platform::file_time_to_local_time(MIDSUMMER_2001, local));
    // Whatever the time zone: the same year and month, and the seconds never move.
    EXPECT_EQ(2001, local.year);
    EXPECT_EQ(7, local.month);
    EXPECT_GE(local.day, 14);
    EXPECT_LE(local.day, 16);
    EXPECT_EQ(56, local.second);

    platform::set_last_error(0);
    EXPECT_FALSE(platform::file_time_to_local_time(0x8000000000000000ull, local));
    EXPECT_EQ(platform::SYSTEM_ERROR_INVALID_PARAMETER, platform::last_error());
    EXPECT_FALSE(platform::file_time_to_local_time(~0ull, local));
}

#ifndef _WIN32

// Runs `check` with the time zone set to `zone`, then puts the old one back.
template <typename Check> void in_time_zone(const char* zone, Check check) {
    const char* saved = std::getenv("TZ");
    std::string kept = saved != nullptr ? saved : "";
    setenv("TZ", zone, 1);
    tzset();
    check();
    if (saved != nullptr)
        setenv("TZ", kept.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST(LocalTime, FollowsTheTimeZone) {
    platform::LocalTime local;
    in_time_zone("UTC0", [&] {
        ASSERT_TRUE(platform::file_time_to_local_time(MIDSUMMER_2001, local));
        EXPECT_EQ(15, local.day);
        EXPECT_EQ(12, local.hour);
        EXPECT_EQ(34, local.minute);
        ASSERT_TRUE(platform::file_time_to_local_time(0, local));
        EXPECT_EQ(1601, local.year);
        EXPECT_EQ(1, local.month);
        EXPECT_EQ(1, local.day);
        EXPECT_EQ(0, local.hour);
    });
    in_time_zone("XST+13:30", [&] {
        ASSERT_TRUE(platform::file_time_to_local_time(MIDSUMMER_2001, local));
        EXPECT_EQ(14, local.day);
        EXPECT_EQ(23, local.hour);
        EXPECT_EQ(4, local.minute);
        EXPECT_EQ(56, local.second);
    });
}

#endif

TEST(Sleep, WaitsAtLeastTheTimeAsked) {
    auto start = std::chrono::steady_clock::now();
    platform::sleep_milliseconds(60);
    auto slept = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_GE(slept.count(), 55);
    EXPECT_LT(slept.count(), 5000);
}

}  // namespace
