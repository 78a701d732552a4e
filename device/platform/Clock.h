#pragma once

#include <cstdint>

namespace corvane {

// Broken-down local or universal time, as the platform keeps it.
struct SystemTime {
    int year { 0 };
    int month { 0 }; // 1-12
    int day_of_week { 0 }; // 0 = Sunday
    int day { 0 };
    int hour { 0 };
    int minute { 0 };
    int second { 0 };
    int milliseconds { 0 };
};

// The core's only source of time. Thread-safe: read from any thread.
class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start; wraps around like a 32-bit tick counter.
    virtual std::uint32_t tick_count_ms() const = 0;
    // The device's local wall-clock time.
    virtual SystemTime local_time() const = 0;
    // Minutes to add to local time to get universal time (negative east of Greenwich).
    virtual int time_zone_bias_minutes() const = 0;
};

} // namespace corvane
