#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>

namespace corvane::server {

// Counts failures per key (an account or a client address) in a sliding window. Kept in
// memory: a restart forgives, which is acceptable for a brake on password guessing.
// Thread safety: any thread.
class Throttle {
public:
    Throttle(int limit, std::int64_t window_ms)
        : m_limit(limit)
        , m_window_ms(window_ms)
    {
    }

    bool is_blocked(const std::string& key, std::int64_t now);
    void record_failure(const std::string& key, std::int64_t now);

private:
    void expire(std::deque<std::int64_t>& times, std::int64_t now) const;

    int m_limit;
    std::int64_t m_window_ms;
    std::mutex m_lock;
    std::map<std::string, std::deque<std::int64_t>> m_failures;
};

} // namespace corvane::server
