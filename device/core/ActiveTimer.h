#pragma once

#include "device/core/CActive.h"

#include <cstdint>
#include <memory>

namespace corvane {

class ActiveTimer;

class ActiveTimerListener {
public:
    virtual ~ActiveTimerListener() = default;
    // `reserved` is always 0.
    virtual void timer_fired(ActiveTimer& timer, int reserved) = 0;
};

// The active object behind an ActiveTimer: due time in ticks.
class TimerActive final : public CActive {
public:
    TimerActive(CActiveScheduler& scheduler, ActiveTimer& owner);
    ~TimerActive() override;
    std::uint32_t due() const { return m_due; }
    void set_due(std::uint32_t due) { m_due = due; }

private:
    void RunL() override;
    void DoCancel() override;

    ActiveTimer& m_owner; // Owns us.
    std::uint32_t m_due { 0 };
};

// A one-shot timer on the main thread. Restarting an active timer cancels the earlier start.
class ActiveTimer {
public:
    // The listener must outlive the timer.
    explicit ActiveTimer(ActiveTimerListener& listener);
    ActiveTimer(ActiveTimerListener& listener, CActiveScheduler& scheduler);
    ~ActiveTimer();
    ActiveTimer(const ActiveTimer&) = delete;
    ActiveTimer& operator=(const ActiveTimer&) = delete;

    void start(double seconds);
    void cancel();
    bool is_active() const { return m_inner->is_active(); }

private:
    friend class TimerActive;
    ActiveTimerListener& m_listener;
    std::unique_ptr<TimerActive> m_inner;
};

} // namespace corvane
