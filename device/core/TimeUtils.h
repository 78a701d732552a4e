#pragma once

#include "common/base/Text.h"
#include "device/platform/Clock.h"

#include <cstdint>

namespace corvane {

// 100-nanosecond intervals since 1 January 1601. Values from the device clock are local time.
using TimeValue = std::int64_t;

inline constexpr std::int64_t intervals_per_second = 10'000'000;
inline constexpr std::int64_t intervals_per_minute = 600'000'000;
inline constexpr std::int64_t intervals_per_day = 864'000'000'000;
inline constexpr std::int64_t millis_1601_to_1970 = 11'644'473'600'000;

struct DateTimeRecord {
    std::int32_t year { 0 };
    std::int32_t month { 0 }; // 1-12
    std::int32_t day { 0 }; // 1-31
    std::int32_t hour { 0 };
    std::int32_t minute { 0 };
    double seconds { 0 }; // 0 <= s < 60, fractions included
};

TimeValue time_now();
// Out-of-range records give 0, as a failed platform conversion does.
TimeValue time_from_system(const SystemTime& time);
// Negative values give an empty record.
SystemTime time_to_system(TimeValue t);
TimeValue time_from_millis(std::int64_t ms);
std::int64_t time_to_millis(TimeValue t);
DateTimeRecord decompose(TimeValue t);
TimeValue compose(const DateTimeRecord& r);
TimeValue with_time_of_day(TimeValue t, std::int32_t hour, std::int32_t minute, double seconds);
std::int32_t days_between(TimeValue a, TimeValue b);
std::int32_t days_in_month(std::int32_t year, std::int32_t month);
int time_zone_bias_minutes();
std::int64_t clamp64(std::int64_t value, std::int64_t low, std::int64_t high);

// Texts in the user's regional format (the C library's LC_TIME locale).
WString format_time(TimeValue t, bool with_seconds);
WString format_date(TimeValue t, bool long_form, bool with_day, bool system_format);
WString day_month_pattern(bool long_form);
// The pattern rule applied to a sample: 22 November 2000 as the short date format shows it.
WString day_month_pattern_from_sample(WStringView sample, bool long_form);
// Formats a date with a pattern of "d", "dd", "M", "MM", "MMM", "MMMM", "y", "yy", "yyyy" and
// quoted literals ('...').
WString format_date_pattern(TimeValue t, WStringView pattern);

} // namespace corvane
