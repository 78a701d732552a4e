#include "device/core/TimeUtils.h"

#include "device/platform/Platform.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <langinfo.h>
#include <limits>
#include <string>

namespace corvane {

namespace {

    // The first day of TimeValue's count, 1 January 1601 (proleptic Gregorian).
    constexpr std::chrono::sys_days first_day { std::chrono::year(1601) / std::chrono::January
        / 1 };

    tm to_tm(TimeValue t)
    {
        SystemTime s = time_to_system(t);
        tm parts {};
        parts.tm_year = s.year - 1900;
        parts.tm_mon = s.month - 1;
        parts.tm_mday = s.day;
        parts.tm_hour = s.hour;
        parts.tm_min = s.minute;
        parts.tm_sec = s.second;
        parts.tm_wday = s.day_of_week;
        return parts;
    }

    WString strftime_text(const std::string& format, const tm& parts)
    {
        if (format.empty())
            return {};
        char buffer[512];
        std::size_t n = std::strftime(buffer, sizeof buffer, format.c_str(), &parts);
        return from_utf8(std::string_view(buffer, n))
            .substr(0, 127); // the device's 128-character buffers
    }

    // Expands the composite conversions so seconds can be found and removed.
    std::string expand_time_format(std::string format)
    {
        auto replace = [&](const std::string& from, const std::string& to) {
            for (std::size_t at; (at = format.find(from)) != std::string::npos;)
                format.replace(at, from.size(), to);
        };
        replace("%r", "%I:%M:%S %p");
        replace("%T", "%H:%M:%S");
        replace("%X", "%H:%M:%S");
        return format;
    }

    std::string without_seconds(std::string format)
    {
        for (const char* s : { ":%S", ".%S", " %S", "%S" }) {
            std::size_t at = format.find(s);
            if (at != std::string::npos) {
                format.erase(at, std::char_traits<char>::length(s));
                break;
            }
        }
        return format;
    }

    bool day_before_month()
    {
        std::string sample = std::string(nl_langinfo(D_FMT));
        std::size_t d = sample.find("%d");
        if (d == std::string::npos)
            d = sample.find("%e");
        std::size_t m = sample.find("%m");
        return d != std::string::npos && m != std::string::npos && d < m;
    }

} // namespace

TimeValue time_from_system(const SystemTime& s)
{
    if (s.month < 1 || s.month > 12 || s.day < 1 || s.year < 1601 || s.year > 30827
        || s.day > days_in_month(s.year, s.month) || s.hour < 0 || s.hour > 23 || s.minute < 0
        || s.minute > 59 || s.second < 0 || s.second > 59 || s.milliseconds < 0
        || s.milliseconds > 999)
        return 0;
    std::chrono::year_month_day date { std::chrono::year(s.year),
        std::chrono::month(static_cast<unsigned>(s.month)),
        std::chrono::day(static_cast<unsigned>(s.day)) };
    std::int64_t days = (std::chrono::sys_days(date) - first_day).count();
    return days * intervals_per_day + s.hour * 36'000'000'000LL + s.minute * intervals_per_minute
        + s.second * intervals_per_second + s.milliseconds * 10'000LL;
}

SystemTime time_to_system(TimeValue t)
{
    if (t < 0)
        return {};
    std::int64_t days = t / intervals_per_day;
    std::int64_t rest = t % intervals_per_day;
    std::chrono::sys_days day = first_day + std::chrono::days(days);
    std::chrono::year_month_day date { day };
    SystemTime s;
    s.year = static_cast<int>(date.year());
    s.month = static_cast<int>(static_cast<unsigned>(date.month()));
    s.day = static_cast<int>(static_cast<unsigned>(date.day()));
    s.day_of_week = static_cast<int>(std::chrono::weekday(day).c_encoding()); // 0 is Sunday
    s.hour = static_cast<int>(rest / 36'000'000'000LL);
    s.minute = static_cast<int>(rest / intervals_per_minute % 60);
    s.second = static_cast<int>(rest / intervals_per_second % 60);
    s.milliseconds = static_cast<int>(rest / 10'000 % 1000);
    return s;
}

TimeValue time_now()
{
    return time_from_system(platform_clock().local_time());
}

TimeValue time_from_millis(std::int64_t ms)
{
    return (ms + millis_1601_to_1970) * 10'000;
}

std::int64_t time_to_millis(TimeValue t)
{
    return (t - millis_1601_to_1970 * 10'000) / 10'000;
}

DateTimeRecord decompose(TimeValue t)
{
    SystemTime s = time_to_system(t);
    DateTimeRecord r;
    r.year = s.year;
    r.month = s.month;
    r.day = s.day;
    r.hour = s.hour;
    r.minute = s.minute;
    r.seconds
        = static_cast<double>(t % intervals_per_minute) / static_cast<double>(intervals_per_second);
    return r;
}

TimeValue compose(const DateTimeRecord& r)
{
    SystemTime s;
    s.year = r.year;
    s.month = r.month;
    s.day = r.day;
    s.hour = r.hour;
    s.minute = r.minute;
    return time_from_system(s)
        + static_cast<std::int64_t>(r.seconds * static_cast<double>(intervals_per_second));
}

TimeValue with_time_of_day(TimeValue t, std::int32_t hour, std::int32_t minute, double seconds)
{
    DateTimeRecord r = decompose(t);
    r.hour = hour;
    r.minute = minute;
    r.seconds = seconds;
    return compose(r);
}

std::int32_t days_between(TimeValue a, TimeValue b)
{
    std::int64_t days = (a - b) / intervals_per_day;
    return static_cast<std::int32_t>(clamp64(
        days, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

std::int32_t days_in_month(std::int32_t year, std::int32_t month)
{
    if (month < 1 || month > 12)
        return 0;
    auto last = std::chrono::year(year) / std::chrono::month(static_cast<unsigned>(month))
        / std::chrono::last;
    return static_cast<std::int32_t>(static_cast<unsigned>(last.day()));
}

int time_zone_bias_minutes()
{
    return platform_clock().time_zone_bias_minutes();
}

std::int64_t clamp64(std::int64_t value, std::int64_t low, std::int64_t high)
{
    if (value < low)
        return low;
    if (value > high)
        return high;
    return value;
}

WString format_time(TimeValue t, bool with_seconds)
{
    std::string format = expand_time_format(nl_langinfo(T_FMT));
    if (format.empty())
        format = "%H:%M:%S";
    if (!with_seconds)
        format = without_seconds(format);
    return strftime_text(format, to_tm(t));
}

WString day_month_pattern_from_sample(WStringView sample, bool long_form)
{
    std::size_t month = sample.find(u"11");
    std::size_t day = sample.find(u"22");
    bool month_first = month != WStringView::npos && (day == WStringView::npos || month < day);
    if (month_first)
        return long_form ? u"MMMM dd" : u"MM.dd";
    return long_form ? u"dd MMMM" : u"dd.MM";
}

WString day_month_pattern(bool long_form)
{
    tm sample {};
    sample.tm_year = 100;
    sample.tm_mon = 10;
    sample.tm_mday = 22;
    return day_month_pattern_from_sample(strftime_text(nl_langinfo(D_FMT), sample), long_form);
}

WString format_date_pattern(TimeValue t, WStringView pattern)
{
    SystemTime s = time_to_system(t);
    bool has_day = pattern.find(u'd') != WStringView::npos;
    auto two = [](int v) {
        WString text = to_wstring(static_cast<std::int32_t>(v));
        return text.size() < 2 ? u"0" + text : text;
    };
    WString out;
    for (std::size_t i = 0; i < pattern.size();) {
        char16_t c = pattern[i];
        std::size_t run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c)
            ++run;
        if (c == u'\'') {
            std::size_t end = pattern.find(u'\'', i + 1);
            if (end == WStringView::npos)
                end = pattern.size();
            out += pattern.substr(i + 1, end - i - 1);
            i = end + 1;
            continue;
        }
        if (c == u'd' && run <= 2) {
            out += run == 1 ? to_wstring(static_cast<std::int32_t>(s.day)) : two(s.day);
        } else if (c == u'M') {
            if (run == 1)
                out += to_wstring(static_cast<std::int32_t>(s.month));
            else if (run == 2)
                out += two(s.month);
            else if (s.month >= 1 && s.month <= 12) {
                // A month named with its day takes the locale's genitive form where it has one.
                nl_item item = run == 3 ? ABMON_1 : (has_day ? MON_1 : ALTMON_1);
                out += from_utf8(nl_langinfo(item + s.month - 1));
            }
        } else if (c == u'y') {
            out += run <= 2 ? two(s.year % 100) : to_wstring(static_cast<std::int32_t>(s.year));
        } else {
            out += pattern.substr(i, run);
        }
        i += run;
    }
    return out;
}

WString format_date(TimeValue t, bool long_form, bool with_day, bool system_format)
{
    if (system_format) {
        if (with_day && !long_form)
            return strftime_text(nl_langinfo(D_FMT), to_tm(t));
        if (with_day)
            return strftime_text(day_before_month() ? "%-d %B %Y" : "%B %-d, %Y", to_tm(t));
        return strftime_text("%OB %Y", to_tm(t));
    }
    if (with_day)
        return format_date_pattern(t, day_month_pattern(long_form));
    return format_date_pattern(t, long_form ? u"MMMM" : u"MMM");
}

} // namespace corvane
