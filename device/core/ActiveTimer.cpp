#include "device/core/ActiveTimer.h"

#include "device/core/CActiveScheduler.h"
#include "device/platform/Clock.h"

namespace corvane {

TimerActive::TimerActive(CActiveScheduler& scheduler, ActiveTimer& owner)
    : CActive(scheduler)
    , m_owner(owner)
{
}

TimerActive::~TimerActive() = default;

void TimerActive::RunL()
{
    m_owner.m_listener.timer_fired(m_owner, 0);
}

void TimerActive::DoCancel()
{
    // Expire at once: the rescan notifies us and cancel() then takes us off the ready list.
    m_due = scheduler().clock().tick_count_ms();
    scheduler().rescan_timers();
}

ActiveTimer::ActiveTimer(ActiveTimerListener& listener)
    : ActiveTimer(listener, CActiveScheduler::current())
{
}

ActiveTimer::ActiveTimer(ActiveTimerListener& listener, CActiveScheduler& scheduler)
    : m_listener(listener)
    , m_inner(std::make_unique<TimerActive>(scheduler, *this))
{
}

ActiveTimer::~ActiveTimer()
{
    cancel();
}

void ActiveTimer::start(double seconds)
{
    cancel();
    CActiveScheduler& scheduler = m_inner->scheduler();
    m_inner->set_due(scheduler.clock().tick_count_ms()
        + static_cast<std::uint32_t>(static_cast<std::int64_t>(seconds * 1000.0 + 0.5)));
    m_inner->set_active();
    scheduler.start_timer(*m_inner);
}

void ActiveTimer::cancel()
{
    m_inner->cancel();
}

} // namespace corvane
