#include "core/date_time.h"

int compare_date_times(const DateTime& first, const DateTime& second) {
    const std::int32_t DateTime::*const fields[] = {&DateTime::year, &DateTime::month, &DateTime::day,
                                                    &DateTime::hour, &DateTime::minute, &DateTime::second};
    for (const auto field : fields) {
        // Compared, not subtracted: a difference of two 32-bit fields may not fit one.
        if (first.*field != second.*field) return first.*field < second.*field ? -1 : 1;
    }
    return 0;
}
