#pragma once

#include <atomic>
#include <cstdint>

namespace corvane::server {

// Wall-clock time in milliseconds since 1970 for the service: real time, or a test clock that
// starts where it is told and moves only when advanced.
// Thread safety: any thread.
class ServiceClock {
public:
    ServiceClock() = default;
    explicit ServiceClock(std::int64_t fixed_start_ms);

    std::int64_t now_ms() const;
    bool is_fixed() const { return m_fixed; }
    void advance(std::int64_t ms); // Only meaningful for a test clock.

private:
    bool m_fixed { false };
    std::atomic<std::int64_t> m_fixed_now { 0 };
};

} // namespace corvane::server
