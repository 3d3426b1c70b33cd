#include "core/date_time.h"

#include <gtest/gtest.h>

#include <climits>

using namespace rubo;

namespace {

TEST(DateTime, FirstDifferingFieldDecides) {
    const DateTime base{2024, 5, 17, 10, 30, 45};
    // A later value in each field, with every field after it smaller, still sorts later.
    const DateTime later_fields[] = {{2025, 1, 1, 0, 0, 0},   {2024, 6, 1, 0, 0, 0},    {2024, 5, 18, 0, 0, 0},
                                     {2024, 5, 17, 11, 0, 0}, {2024, 5, 17, 10, 31, 0}, {2024, 5, 17, 10, 30, 46}};
    for (const DateTime& later : later_fields) {
        EXPECT_LT(compare_date_times(base, later), 0);
        EXPECT_GT(compare_date_times(later, base), 0);
    }
    EXPECT_EQ(0, compare_date_times(base, DateTime{2024, 5, 17, 10, 30, 45}));
    EXPECT_EQ(0, DateTime{}.month);  // a new value is unset
}

TEST(DateTime, ExtremeFieldsCompareWithoutOverflow) {
    const DateTime low{INT_MIN, 0, 0, 0, 0, 0};
    const DateTime high{INT_MAX, 0, 0, 0, 0, 0};
    EXPECT_LT(compare_date_times(low, high), 0);
    EXPECT_GT(compare_date_times(high, low), 0);
}

TEST(DateTime, FileTimesBecomeUniversalCalendarFields) {
    auto expect_time = [](platform::FileTime time, std::int32_t year, std::int32_t month, std::int32_t day,
                          std::int32_t hour, std::int32_t minute, std::int32_t second) {
        const DateTime got = universal_date_time(time);
        EXPECT_EQ(year, got.year) << time;
        EXPECT_EQ(month, got.month) << time;
        EXPECT_EQ(day, got.day) << time;
        EXPECT_EQ(hour, got.hour) << time;
        EXPECT_EQ(minute, got.minute) << time;
        EXPECT_EQ(second, got.second) << time;
    };
    constexpr platform::FileTime second = platform::TICKS_PER_SECOND;
    constexpr platform::FileTime day = 86'400 * second;
    constexpr platform::FileTime unix_epoch = platform::EPOCH_DIFFERENCE * second;
    expect_time(0, 1601, 1, 1, 0, 0, 0);
    expect_time(day - 1, 1601, 1, 1, 23, 59, 59);
    expect_time(unix_epoch, 1970, 1, 1, 0, 0, 0);
    expect_time(unix_epoch + 951'827'696 * second, 2000, 2, 29, 12, 34, 56);
    expect_time(unix_epoch + 951'868'800 * second, 2000, 3, 1, 0, 0, 0);
    expect_time(unix_epoch + 4'107'542'400 * second, 2100, 3, 1, 0, 0, 0);
    expect_time(unix_epoch + (4'107'542'400 - 1) * second, 2100, 2, 28, 23, 59, 59);
}

}  // namespace
