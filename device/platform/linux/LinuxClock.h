#pragma once

#include "device/platform/Clock.h"

namespace corvane {

// The monotonic clock for ticks and the C library's local time and time zone.
class LinuxClock final : public Clock {
public:
    std::uint32_t tick_count_ms() const override;
    SystemTime local_time() const override;
    int time_zone_bias_minutes() const override;
};

} // namespace corvane
