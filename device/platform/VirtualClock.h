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

    // Work that runs in real time outside the main loop (a network exchange on a worker
    // thread). While any is under way, the headless loop waits for it in real time and moves
    // the virtual clock by the time that passed, so a reply is not outrun by its own time-out.
    static void outside_work_started() { outside_work().fetch_add(1); }
    static void outside_work_ended() { outside_work().fetch_sub(1); }
    static bool has_outside_work() { return outside_work().load() > 0; }

private:
    static std::atomic<int>& outside_work()
    {
        static std::atomic<int> count { 0 };
        return count;
    }

    const Clock& m_real; // Outlives us.
    std::atomic<std::uint32_t> m_ticks;
};

} // namespace corvane
