#include "core/date_time.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(DateTime, FirstDifferingFieldDecides) {
    const DateTime base{2024, 5, 17, 10, 30, 45};
    // A later value in each field, with every field after it smaller, still sorts later.
    const DateTime later_fields[] = {{2025, 1, 1, 0, 0, 0},     {2024, 6, 1, 0, 0, 0},
                                     {2024, 5, 18, 0, 0, 0},    {2024, 5, 17, 11, 0, 0},
                                     {2024, 5, 17, 10, 31, 0},  {2024, 5, 17, 10, 30, 46}};
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

}  // namespace
