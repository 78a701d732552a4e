#include "device/platform/MessageLoop.h"

#include "device/platform/Clock.h"
#include "device/platform/WindowBackend.h"

namespace corvane {

namespace {

    // Tick counts wrap; the signed difference is right across the wrap.
    std::int32_t ticks_until(std::uint32_t due, std::uint32_t now)
    {
        return static_cast<std::int32_t>(due - now);
    }

} // namespace

MessageLoop::MessageLoop(WindowBackend& backend, const Clock& clock)
    : m_backend(backend)
    , m_clock(clock)
{
}

MessageLoop::~MessageLoop() = default;

void MessageLoop::post(Message message)
{
    if (message.time == 0)
        message.time = m_clock.tick_count_ms();
    {
        std::lock_guard lock(m_posted_lock);
        m_posted.push_back(std::move(message));
    }
    wake_backend();
}

void MessageLoop::post_quit(std::uint32_t exit_code)
{
    Message quit;
    quit.kind = MessageKind::Quit;
    quit.wparam = exit_code;
    post(std::move(quit));
}

void MessageLoop::post_run_message()
{
    Message run;
    run.kind = MessageKind::SchedulerRun;
    post(std::move(run));
}

void MessageLoop::start_timer(std::uint32_t milliseconds)
{
    set_timer(scheduler_timer_id, milliseconds);
}

void MessageLoop::stop_timer()
{
    kill_timer(scheduler_timer_id);
}

void MessageLoop::set_timer(std::uint32_t id, std::uint32_t period_ms)
{
    m_timers[id] = { period_ms, m_clock.tick_count_ms() + period_ms };
}

void MessageLoop::kill_timer(std::uint32_t id)
{
    m_timers.erase(id);
}

void MessageLoop::wake_backend()
{
    // One wake-up is enough until the loop has looked at the queue again.
    if (!m_wake_pending.exchange(true))
        m_backend.wake();
}

std::optional<Message> MessageLoop::take_ready()
{
    // Cleared before looking, so a post that races with this look still wakes the next wait.
    m_wake_pending.store(false);
    {
        std::lock_guard lock(m_posted_lock);
        if (!m_posted.empty()) {
            Message message = std::move(m_posted.front());
            m_posted.pop_front();
            return message;
        }
    }
    // Input that already arrived goes before repaints and timers.
    if (m_input.empty())
        m_backend.wait_input(0, m_input);
    while (!m_input.empty()) {
        Message message = std::move(m_input.front());
        m_input.pop_front();
        if (message.kind == MessageKind::Paint) {
            // Repaints merge into one, delivered when nothing else waits.
            m_invalidated = true;
            continue;
        }
        return message;
    }
    std::uint32_t now = m_clock.tick_count_ms();
    if (m_invalidated) {
        m_invalidated = false;
        Message paint;
        paint.kind = MessageKind::Paint;
        paint.time = now;
        return paint;
    }
    // The most overdue timer first.
    auto earliest = m_timers.end();
    for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
        if (ticks_until(it->second.due, now) > 0)
            continue;
        if (earliest == m_timers.end() || ticks_until(it->second.due, earliest->second.due) < 0)
            earliest = it;
    }
    if (earliest != m_timers.end()) {
        earliest->second.due = now + earliest->second.period;
        Message timer;
        timer.kind = MessageKind::Timer;
        timer.wparam = earliest->first;
        timer.time = now;
        return timer;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> MessageLoop::time_to_next_timer() const
{
    if (m_timers.empty())
        return std::nullopt;
    std::uint32_t now = m_clock.tick_count_ms();
    std::int32_t nearest = INT32_MAX;
    for (const auto& [id, timer] : m_timers)
        nearest = std::min(nearest, ticks_until(timer.due, now));
    return nearest > 0 ? static_cast<std::uint32_t>(nearest) : 0u;
}

Message MessageLoop::get_message()
{
    for (;;) {
        if (auto message = take_ready())
            return std::move(*message);
        m_backend.wait_input(time_to_next_timer(), m_input);
    }
}

std::optional<Message> MessageLoop::peek_message()
{
    return take_ready();
}

void MessageLoop::wait(std::uint32_t milliseconds)
{
    {
        std::lock_guard lock(m_posted_lock);
        if (!m_posted.empty())
            return;
    }
    if (!m_input.empty())
        return;
    m_backend.wait_input(milliseconds, m_input);
}

} // namespace corvane
