#pragma once

#include "device/platform/Clock.h"

#include <atomic>

namespace corvane {

// A clock whose ticks move only when the headless loop would otherwise wait, so a run takes the
// same steps whatever the machine's speed. Wall-clock time and zone come from `real`.
// Thread-safe.
class VirtualClock final : public Clock {
public:
    explicit VirtualClock(const Clock& real, std::uint32_t start_ticks = 1000)
        : m_real(real)
        , m_ticks(start_ticks)
    {
    }

    std::uint32_t tick_count_ms() const override { return m_ticks.load(); }
    SystemTime local_time() const override { return m_real.local_time(); }
    int time_zone_bias_minutes() const override { return m_real.time_zone_bias_minutes(); }

    void advance(std::uint32_t milliseconds) { m_ticks.fetch_add(milliseconds); }

private:
    const Clock& m_real; // Outlives us.
    std::atomic<std::uint32_t> m_ticks;
};

} // namespace corvane
