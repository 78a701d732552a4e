#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

namespace corvane {

// A thread whose body is run(). The owner starts it, may ask it to stop (the body polls
// stop_requested()), and waits for it. Destroying a WorkerThread whose body still runs detaches
// the thread: the derived class must make sure the body no longer touches the object by then.
class WorkerThread {
public:
    WorkerThread();
    virtual ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // False when a thread already exists or none could be created.
    [[nodiscard]] bool start();
    void request_stop() { m_stop_requested.store(true); }
    bool stop_requested() const { return m_stop_requested.load(); }
    // True when there is no thread or it ended within `milliseconds`.
    bool wait(std::uint32_t milliseconds);
    bool is_running() const;

protected:
    virtual void run() = 0;

private:
    struct Shared {
        std::mutex mutex;
        std::condition_variable ended;
        bool finished { false };
    };

    std::thread m_thread;
    std::shared_ptr<Shared> m_shared; // outlives a detached thread's last touch
    std::atomic<bool> m_stop_requested { false };
};

// A lock for short list operations; recursive like the platform's critical sections.
class CriticalSectionLock {
public:
    void enter() { m_mutex.lock(); }
    void leave() { m_mutex.unlock(); }
    // For std::lock_guard.
    void lock() { enter(); }
    void unlock() { leave(); }

private:
    std::recursive_mutex m_mutex;
};

enum class EventReset { Manual, Automatic };

// An event created not signalled. Any thread.
class EventObject {
public:
    explicit EventObject(EventReset reset = EventReset::Automatic)
        : m_reset(reset)
    {
    }
    void set();
    void reset();
    void wait();
    // False on time-out.
    bool wait_for(std::uint32_t milliseconds);

private:
    EventReset m_reset;
    std::mutex m_mutex;
    std::condition_variable m_signal;
    bool m_signalled { false };
};

} // namespace corvane
