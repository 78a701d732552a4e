#include "device/core/WorkerThread.h"

#include <chrono>
#include <system_error>

namespace corvane {

WorkerThread::WorkerThread() = default;

WorkerThread::~WorkerThread()
{
    if (!m_thread.joinable())
        return;
    bool finished;
    {
        std::lock_guard lock(m_shared->mutex);
        finished = m_shared->finished;
    }
    if (finished)
        m_thread.join();
    else
        m_thread.detach();
}

bool WorkerThread::start()
{
    if (m_thread.joinable())
        return false;
    m_stop_requested.store(false);
    m_shared = std::make_shared<Shared>();
    try {
        m_thread = std::thread([this, shared = m_shared] {
            run();
            // After this point the body must not touch `this`: the owner may already be gone.
            std::lock_guard lock(shared->mutex);
            shared->finished = true;
            shared->ended.notify_all();
        });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

bool WorkerThread::wait(std::uint32_t milliseconds)
{
    if (!m_thread.joinable())
        return true;
    {
        std::unique_lock lock(m_shared->mutex);
        if (!m_shared->ended.wait_for(
                lock, std::chrono::milliseconds(milliseconds), [&] { return m_shared->finished; }))
            return false;
    }
    m_thread.join();
    return true;
}

bool WorkerThread::is_running() const
{
    if (!m_thread.joinable())
        return false;
    std::lock_guard lock(m_shared->mutex);
    return !m_shared->finished;
}

void EventObject::set()
{
    std::lock_guard lock(m_mutex);
    m_signalled = true;
    if (m_reset == EventReset::Manual)
        m_signal.notify_all();
    else
        m_signal.notify_one();
}

void EventObject::reset()
{
    std::lock_guard lock(m_mutex);
    m_signalled = false;
}

void EventObject::wait()
{
    std::unique_lock lock(m_mutex);
    m_signal.wait(lock, [&] { return m_signalled; });
    if (m_reset == EventReset::Automatic)
        m_signalled = false;
}

bool EventObject::wait_for(std::uint32_t milliseconds)
{
    std::unique_lock lock(m_mutex);
    if (!m_signal.wait_for(
            lock, std::chrono::milliseconds(milliseconds), [&] { return m_signalled; }))
        return false;
    if (m_reset == EventReset::Automatic)
        m_signalled = false;
    return true;
}

} // namespace corvane
