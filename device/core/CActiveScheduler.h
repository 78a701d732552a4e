#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <mutex>

namespace corvane {

class CActive;
class Clock;
class SchedulerHost;
class TimerActive;

// The single-threaded scheduler of active objects. notify() may be called from any thread;
// everything else runs on the main thread. The ready-list lock is never held while RunL or
// DoCancel run, so they may notify, activate or cancel other objects.
class CActiveScheduler {
public:
    // Host and clock must outlive the scheduler.
    CActiveScheduler(SchedulerHost& host, Clock& clock);
    // Fatal fault if any object is still active.
    ~CActiveScheduler();
    CActiveScheduler(const CActiveScheduler&) = delete;
    CActiveScheduler& operator=(const CActiveScheduler&) = delete;

    // The scheduler of the running program (the most recently created live one).
    static CActiveScheduler& current();
    static bool exists();

    void set_active(CActive& object);
    void notify(CActive& object); // any thread
    // Runs every object queued so far, including those queued by the RunL calls; answers true.
    bool process_actives();
    void cancel(CActive& object);

    // Timer support for ActiveTimer.
    void start_timer(TimerActive& timer);
    void rescan_timers();
    void remove_timer(TimerActive& timer);

    std::int32_t active_count() const { return m_active_counter.load(); }
    Clock& clock() const { return m_clock; }

private:
    SchedulerHost& m_host;
    Clock& m_clock;
    std::mutex m_lock; // guards m_ready and m_notifications
    std::condition_variable m_notified;
    std::uint64_t m_notifications { 0 };
    std::atomic<std::int32_t> m_active_counter { 0 };
    std::list<CActive*> m_ready;
    std::list<TimerActive*> m_timers; // main thread only
    CActiveScheduler* m_previous { nullptr };
};

} // namespace corvane
