#include "server/ServiceClock.h"

#include <chrono>

namespace corvane::server {

ServiceClock::ServiceClock(std::int64_t fixed_start_ms)
    : m_fixed(true)
    , m_fixed_now(fixed_start_ms)
{
}

std::int64_t ServiceClock::now_ms() const
{
    if (m_fixed)
        return m_fixed_now.load();
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

void ServiceClock::advance(std::int64_t ms)
{
    m_fixed_now += ms;
}

} // namespace corvane::server
