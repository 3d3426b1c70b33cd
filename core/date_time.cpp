#include "core/date_time.h"

namespace rubo {

int compare_date_times(const DateTime& first, const DateTime& second) {
    const std::int32_t DateTime::*const fields[] = {&DateTime::year, &DateTime::month,  &DateTime::day,
                                                    &DateTime::hour, &DateTime::minute, &DateTime::second};
    for (const auto field : fields) {
        // Compared, not subtracted: a difference of two 32-bit fields may not fit one.
        if (first.*field != second.*field) return first.*field < second.*field ? -1 : 1;
    }
    return 0;
}

DateTime universal_date_time(platform::FileTime time) {
    constexpr std::int64_t seconds_per_day = 86'400;
    const std::uint64_t seconds = time / platform::TICKS_PER_SECOND;
    const std::int64_t second_of_day = static_cast<std::int64_t>(seconds % seconds_per_day);
    // Days counted from 1 March of the year 0 of the Gregorian calendar, on which the
    // 400-year cycles begin; 1 January 1601, where file times begin, is day 584,694.
    const std::int64_t days = static_cast<std::int64_t>(seconds / seconds_per_day) + 584'694;
    const std::int64_t era = days / 146'097;
    const std::int64_t day_of_era = days - era * 146'097;
    const std::int64_t year_of_era =
        (day_of_era - day_of_era / 1'460 + day_of_era / 36'524 - day_of_era / 146'096) / 365;
    const std::int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const std::int64_t month_from_march = (5 * day_of_year + 2) / 153;
    const std::int64_t month = month_from_march < 10 ? month_from_march + 3 : month_from_march - 9;
    DateTime result;
    result.year = static_cast<std::int32_t>(year_of_era + era * 400 + (month <= 2 ? 1 : 0));
    result.month = static_cast<std::int32_t>(month);
    result.day = static_cast<std::int32_t>(day_of_year - (153 * month_from_march + 2) / 5 + 1);
    result.hour = static_cast<std::int32_t>(second_of_day / 3'600);
    result.minute = static_cast<std::int32_t>(second_of_day / 60 % 60);
    result.second = static_cast<std::int32_t>(second_of_day % 60);
    return result;
}

}  // namespace rubo
