#pragma once

#include "device/core/CActiveScheduler.h"
#include "device/platform/SchedulerHost.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>

namespace corvane::test {

// A main loop for tests whose active objects are completed by real threads and real time.
// Workers post run messages from any thread; the test thread plays the loop with run_until(),
// answering run messages with process_actives() and the scheduler timer with rescan_timers(),
// so that timers fire after their real delay. Use with the real platform clock.
class ThreadedLoop final : public SchedulerHost {
public:
    using Clock = std::chrono::steady_clock;

    void post_run_message() override
    {
        std::lock_guard lock(m_mutex);
        ++m_run_messages;
        m_wake.notify_all();
    }
    void start_timer(std::uint32_t milliseconds) override
    {
        std::lock_guard lock(m_mutex);
        m_timer_due = Clock::now() + std::chrono::milliseconds(milliseconds);
        m_wake.notify_all();
    }
    void stop_timer() override
    {
        std::lock_guard lock(m_mutex);
        m_timer_due.reset();
    }

    // Test thread: plays the loop until `done` answers true (checked before every wait) or
    // `limit` has passed. Answers done() at the end.
    bool run_until(CActiveScheduler& scheduler, const std::function<bool()>& done,
        std::chrono::milliseconds limit = std::chrono::seconds(10))
    {
        Clock::time_point deadline = Clock::now() + limit;
        while (!done()) {
            if (!step(scheduler, deadline))
                return done();
        }
        return true;
    }

    // Test thread: plays the loop for `period`, to see that nothing more happens.
    void run_for(CActiveScheduler& scheduler, std::chrono::milliseconds period)
    {
        Clock::time_point deadline = Clock::now() + period;
        while (step(scheduler, deadline)) { }
    }

    // Test thread: waits until a run message is pending without handling it, so that a test
    // can act while a completed object waits in the ready list.
    bool wait_for_run_message(std::chrono::milliseconds limit = std::chrono::seconds(10))
    {
        std::unique_lock lock(m_mutex);
        return m_wake.wait_for(lock, limit, [&] { return m_run_messages > 0; });
    }

private:
    // One turn of the loop; false once the deadline passed without anything to do.
    bool step(CActiveScheduler& scheduler, Clock::time_point deadline)
    {
        bool run = false;
        bool timer = false;
        {
            std::unique_lock lock(m_mutex);
            auto ready = [&] {
                return m_run_messages > 0 || (m_timer_due && Clock::now() >= *m_timer_due);
            };
            Clock::time_point wake = deadline;
            if (m_timer_due && *m_timer_due < wake)
                wake = *m_timer_due;
            m_wake.wait_until(lock, wake, ready);
            if (m_run_messages > 0) {
                // One run message drains the whole ready list.
                m_run_messages = 0;
                run = true;
            }
            if (m_timer_due && Clock::now() >= *m_timer_due) {
                m_timer_due.reset();
                timer = true;
            }
        }
        if (timer)
            scheduler.rescan_timers();
        if (run)
            scheduler.process_actives();
        return run || timer || Clock::now() < deadline;
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    int m_run_messages { 0 };
    std::optional<Clock::time_point> m_timer_due;
};

} // namespace corvane::test
