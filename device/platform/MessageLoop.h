#pragma once

#include "device/platform/SchedulerHost.h"
#include "device/platform/WindowMessage.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>

namespace corvane {

class Clock;
class WindowBackend;

// The message queue of the main thread. Messages come, in this order of preference, from
// other threads and the program itself (post), from the window back-end's input, from a pending
// repaint, and from the window timers (periodic, at most one pending message each, so a slow
// frame never makes timer messages pile up). It is also the scheduler's host: the run message
// is a posted message and the scheduler's timer is window timer 1.
// post(), post_quit() and post_run_message() may be called from any thread; the rest runs on
// the main thread.
class MessageLoop final : public SchedulerHost {
public:
    // Backend and clock must outlive the loop.
    MessageLoop(WindowBackend& backend, const Clock& clock);
    ~MessageLoop() override;
    MessageLoop(const MessageLoop&) = delete;
    MessageLoop& operator=(const MessageLoop&) = delete;

    void post(Message message);
    void post_quit(std::uint32_t exit_code);

    void post_run_message() override;
    void start_timer(std::uint32_t milliseconds) override;
    void stop_timer() override;

    // A periodic timer; setting an existing one restarts it with the new period.
    void set_timer(std::uint32_t id, std::uint32_t period_ms);
    void kill_timer(std::uint32_t id);
    bool has_timer(std::uint32_t id) const { return m_timers.contains(id); }

    // Asks for one Paint message once nothing else waits.
    void invalidate() { m_invalidated = true; }

    // Blocks until a message is there and removes it.
    Message get_message();
    // Removes and answers the next message without waiting for one.
    std::optional<Message> peek_message();
    // Waits up to `milliseconds` for anything to arrive, without taking it.
    void wait(std::uint32_t milliseconds);

private:
    struct TimerState {
        std::uint32_t period { 0 };
        std::uint32_t due { 0 };
    };

    std::optional<Message> take_ready();
    std::optional<std::uint32_t> time_to_next_timer() const;
    void wake_backend();

    WindowBackend& m_backend;
    const Clock& m_clock;
    std::mutex m_posted_lock; // guards m_posted
    std::deque<Message> m_posted;
    std::atomic<bool> m_wake_pending { false };
    std::deque<Message> m_input; // main thread
    std::map<std::uint32_t, TimerState> m_timers; // main thread
    bool m_invalidated { false };
};

} // namespace corvane
