#include "device/net/HTTPExchange.h"

#include "device/core/CActive.h"

#include <utility>

namespace corvane {

HTTPExchange::HTTPExchange(std::int32_t request_id, std::unique_ptr<HttpTransfer> http_transfer,
    ConnectionManagerLoader loader)
    : id(request_id)
    , transfer(std::move(http_transfer))
    , load_connection_manager(std::move(loader))
{
}

void HTTPExchange::attach(CActive& target)
{
    std::lock_guard lock(m_mutex);
    m_target = &target;
}

void HTTPExchange::detach()
{
    std::lock_guard lock(m_mutex);
    m_target = nullptr;
}

bool HTTPExchange::post(WorkerMessage code)
{
    std::lock_guard lock(m_mutex);
    if (m_killed || m_stop.load() || !m_target)
        return false;
    message = code;
    m_posted = true;
    // Held across notify() on purpose: the main thread detaches the target under this lock
    // before the object goes away, so it is alive for the whole call. notify() only takes the
    // scheduler's list lock and calls nothing else, so no lock order can deadlock.
    m_target->notify();
    return true;
}

bool HTTPExchange::take_posted()
{
    std::lock_guard lock(m_mutex);
    return std::exchange(m_posted, false);
}

bool HTTPExchange::is_posted() const
{
    std::lock_guard lock(m_mutex);
    return m_posted;
}

bool HTTPExchange::kill()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_killed)
            return false;
        m_killed = true;
    }
    if (transfer)
        transfer->abort();
    resume.set();
    return true;
}

bool HTTPExchange::is_killed() const
{
    std::lock_guard lock(m_mutex);
    return m_killed;
}

void HTTPExchange::request_stop()
{
    m_stop.store(true);
    if (transfer)
        transfer->abort();
    resume.set();
}

void HTTPExchange::request_cancel()
{
    m_cancel.store(true);
    if (transfer)
        transfer->abort();
}

void HTTPExchange::keep_connection(std::unique_ptr<ConnectionManager> connection)
{
    std::lock_guard lock(m_mutex);
    m_connection = std::move(connection);
}

std::unique_ptr<ConnectionManager> HTTPExchange::take_connection()
{
    std::lock_guard lock(m_mutex);
    return std::move(m_connection);
}

} // namespace corvane
