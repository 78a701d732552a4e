#include "device/platform/linux/LinuxClock.h"

#include <ctime>
#include <sys/time.h>

namespace corvane {

std::uint32_t LinuxClock::tick_count_ms() const
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    std::uint64_t ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u
        + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

SystemTime LinuxClock::local_time() const
{
    timespec ts {};
    clock_gettime(CLOCK_REALTIME, &ts);
    time_t seconds = ts.tv_sec;
    tm parts {};
    localtime_r(&seconds, &parts);
    SystemTime out;
    out.year = parts.tm_year + 1900;
    out.month = parts.tm_mon + 1;
    out.day_of_week = parts.tm_wday;
    out.day = parts.tm_mday;
    out.hour = parts.tm_hour;
    out.minute = parts.tm_min;
    out.second = parts.tm_sec > 59 ? 59 : parts.tm_sec; // a leap second folds into :59
    out.milliseconds = static_cast<int>(ts.tv_nsec / 1000000);
    return out;
}

int LinuxClock::time_zone_bias_minutes() const
{
    time_t now = time(nullptr);
    tm parts {};
    localtime_r(&now, &parts);
    // tm_gmtoff already includes daylight saving; the bias has the opposite sign.
    return static_cast<int>(-parts.tm_gmtoff / 60);
}

} // namespace corvane
