#pragma once

#include "device/platform/SchedulerHost.h"

#include <atomic>
#include <optional>

namespace corvane::test {

// Records what the scheduler asks of the main loop, so a test can play the loop by hand.
class ManualSchedulerHost final : public SchedulerHost {
public:
    void post_run_message() override { m_run_messages.fetch_add(1); }
    void start_timer(std::uint32_t milliseconds) override { m_timer = milliseconds; }
    void stop_timer() override { m_timer.reset(); }

    int run_messages() const { return m_run_messages.load(); }
    std::optional<std::uint32_t> timer() const { return m_timer; }

private:
    std::atomic<int> m_run_messages { 0 };
    std::optional<std::uint32_t> m_timer;
};

} // namespace corvane::test
