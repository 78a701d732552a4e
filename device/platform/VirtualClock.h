#pragma once

#include "device/platform/Clock.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

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
    static void outside_work_started()
    {
        OutsideWork& work = outside_work();
        std::lock_guard lock(work.mutex);
        ++work.count;
    }
    static void outside_work_ended()
    {
        OutsideWork& work = outside_work();
        std::lock_guard lock(work.mutex);
        --work.count;
        work.changed.notify_all();
    }
    static bool has_outside_work()
    {
        OutsideWork& work = outside_work();
        std::lock_guard lock(work.mutex);
        return work.count > 0;
    }
    // Whoever is about to pull away what a worker may still touch (the settings a test
    // installed) waits here; false when work is still under way after `milliseconds`.
    static bool wait_for_outside_work(std::uint32_t milliseconds)
    {
        OutsideWork& work = outside_work();
        std::unique_lock lock(work.mutex);
        return work.changed.wait_for(
            lock, std::chrono::milliseconds(milliseconds), [&] { return work.count == 0; });
    }

private:
    struct OutsideWork {
        std::mutex mutex;
        std::condition_variable changed;
        int count { 0 };
    };
    static OutsideWork& outside_work()
    {
        // Never destroyed: workers may end while static destructors run.
        static OutsideWork* work = new OutsideWork;
        return *work;
    }

    const Clock& m_real; // Outlives us.
    std::atomic<std::uint32_t> m_ticks;
};

} // namespace corvane
