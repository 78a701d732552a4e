#pragma once

#include <cstdint>

namespace corvane {

// What the scheduler needs from the main loop: a run message that wakes the loop, and one
// timer for the nearest due time. The loop answers a run message with
// CActiveScheduler::process_actives() and the timer with CActiveScheduler::rescan_timers().
class SchedulerHost {
public:
    virtual ~SchedulerHost() = default;
    // Any thread: queue a run message for the main loop.
    virtual void post_run_message() = 0;
    // Main thread: (re)start the one-shot scheduler timer after `milliseconds`.
    virtual void start_timer(std::uint32_t milliseconds) = 0;
    // Main thread: stop it.
    virtual void stop_timer() = 0;
};

} // namespace corvane
