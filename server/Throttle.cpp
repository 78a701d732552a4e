#include "server/Throttle.h"

namespace corvane::server {

void Throttle::expire(std::deque<std::int64_t>& times, std::int64_t now) const
{
    while (!times.empty() && times.front() <= now - m_window_ms)
        times.pop_front();
}

bool Throttle::is_blocked(const std::string& key, std::int64_t now)
{
    std::lock_guard lock(m_lock);
    auto found = m_failures.find(key);
    if (found == m_failures.end())
        return false;
    expire(found->second, now);
    if (found->second.empty()) {
        m_failures.erase(found);
        return false;
    }
    return int(found->second.size()) >= m_limit;
}

void Throttle::record_failure(const std::string& key, std::int64_t now)
{
    std::lock_guard lock(m_lock);
    auto& times = m_failures[key];
    expire(times, now);
    times.push_back(now);
    // A key cannot grow without bound: only the last `limit` failures matter.
    while (int(times.size()) > m_limit)
        times.pop_front();
}

} // namespace corvane::server
