#include "device/core/CActiveScheduler.h"

#include "common/base/Text.h"
#include "device/core/ActiveTimer.h"
#include "device/core/CActive.h"
#include "device/core/FatalFault.h"
#include "device/platform/Clock.h"
#include "device/platform/SchedulerHost.h"

#include <algorithm>

namespace corvane {

namespace {
    std::atomic<CActiveScheduler*> s_current { nullptr };
    constexpr std::int32_t no_timer = 10000000;
}

CActiveScheduler::CActiveScheduler(SchedulerHost& host, Clock& clock)
    : m_host(host)
    , m_clock(clock)
    , m_previous(s_current.exchange(this))
{
}

CActiveScheduler::~CActiveScheduler()
{
    std::int32_t count = m_active_counter.load();
    if (count != 0) {
        fatal_fault(u"",
            u"Some active objects still live while scheduler is terminating active_counter="
                + to_wstring(count));
    }
    m_host.stop_timer();
    CActiveScheduler* self = this;
    s_current.compare_exchange_strong(self, m_previous);
}

CActiveScheduler& CActiveScheduler::current()
{
    CActiveScheduler* scheduler = s_current.load();
    if (!scheduler)
        fatal_fault(u"CActiveScheduler::current()", u"no scheduler");
    return *scheduler;
}

bool CActiveScheduler::exists()
{
    return s_current.load() != nullptr;
}

void CActiveScheduler::set_active(CActive& object)
{
    if (object.m_active.load())
        fatal_fault(u"CActiveScheduler::set_active()",
            u"Object " + to_wstring(object.id()) + u" is already active");
    object.m_active.store(true, std::memory_order_release);
    m_active_counter.fetch_add(1);
}

void CActiveScheduler::notify(CActive& object)
{
    if (!object.m_active.load(std::memory_order_acquire))
        fatal_fault(u"CActiveScheduler::notify()",
            u"Active object " + to_wstring(object.id()) + u" is not active");
    std::lock_guard lock(m_lock);
    m_ready.push_back(&object);
    ++m_notifications;
    m_host.post_run_message();
    m_notified.notify_all();
}

bool CActiveScheduler::process_actives()
{
    for (;;) {
        CActive* object;
        {
            std::lock_guard lock(m_lock);
            if (m_ready.empty())
                return true;
            object = m_ready.front();
            m_ready.pop_front();
        }
        if (!object->m_active.load(std::memory_order_acquire))
            fatal_fault(u"CActiveScheduler::process_actives()",
                u"Active object " + to_wstring(object->id()) + u" is not marked active");
        object->m_active.store(false, std::memory_order_release);
        m_active_counter.fetch_sub(1);
        object->RunL();
    }
}

void CActiveScheduler::cancel(CActive& object)
{
    object.DoCancel();
    bool waited = false;
    std::unique_lock lock(m_lock);
    for (;;) {
        auto it = std::find(m_ready.begin(), m_ready.end(), &object);
        if (it != m_ready.end()) {
            // A completion that came before DoCancel's own is dropped too: a cancelled object
            // must never be run, and a second entry would be taken for an inactive one.
            m_ready.remove(&object);
            object.m_active.store(false, std::memory_order_release);
            m_active_counter.fetch_sub(1);
            break;
        }
        // DoCancel promised a prompt notify, from this thread or a worker.
        std::uint64_t seen = m_notifications;
        m_notified.wait(lock, [&] { return m_notifications != seen; });
        waited = true;
    }
    // Notifications that arrived while we waited still need their objects run.
    if (waited && !m_ready.empty())
        m_host.post_run_message();
}

void CActiveScheduler::start_timer(TimerActive& timer)
{
    m_timers.push_back(&timer);
    rescan_timers();
}

void CActiveScheduler::remove_timer(TimerActive& timer)
{
    m_timers.remove(&timer);
}

void CActiveScheduler::rescan_timers()
{
    m_host.stop_timer();
    std::uint32_t now = m_clock.tick_count_ms();
    std::int32_t nearest = no_timer;
    for (auto it = m_timers.begin(); it != m_timers.end();) {
        // Tick counts wrap; the signed difference is right across the wrap.
        std::int32_t remaining = static_cast<std::int32_t>((*it)->due() - now);
        if (remaining < 1) {
            TimerActive* due = *it;
            it = m_timers.erase(it);
            notify(*due);
        } else {
            nearest = std::min(nearest, remaining);
            ++it;
        }
    }
    if (nearest != no_timer)
        m_host.start_timer(static_cast<std::uint32_t>(nearest));
}

} // namespace corvane
