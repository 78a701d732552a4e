#pragma once

#include "device/platform/Clock.h"

#include <atomic>

namespace corvane::test {

// A clock that moves only when the test says so.
class FakeClock final : public Clock {
public:
    std::uint32_t tick_count_ms() const override { return m_ticks.load(); }
    SystemTime local_time() const override { return m_local; }
    int time_zone_bias_minutes() const override { return 0; }

    void advance(std::uint32_t milliseconds) { m_ticks.fetch_add(milliseconds); }
    void set_ticks(std::uint32_t ticks) { m_ticks.store(ticks); }
    void set_local_time(const SystemTime& time) { m_local = time; }

private:
    std::atomic<std::uint32_t> m_ticks { 1000 };
    SystemTime m_local { 2026, 12, 0, 6, 12, 0, 0, 0 };
};

} // namespace corvane::test
