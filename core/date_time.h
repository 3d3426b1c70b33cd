#pragma once
// DateTime: a calendar time to the second. A new value is unset and has month 0; two
// values compare field by field from the year down to the second.

#include <cstdint>

#include "platform/platform.h"

namespace rubo {

struct DateTime {
    std::int32_t year = 0;
    std::int32_t month = 0;
    std::int32_t day = 0;
    std::int32_t hour = 0;
    std::int32_t minute = 0;
    std::int32_t second = 0;
};

// Negative when first is earlier than second, 0 when they are equal, positive when it is
// later; the first field that differs decides.
int compare_date_times(const DateTime& first, const DateTime& second);

// A platform file time (universal time) as calendar fields, to the second.
DateTime universal_date_time(platform::FileTime time);

}  // namespace rubo
