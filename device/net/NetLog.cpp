#include "device/net/NetLog.h"

#include "device/core/Ticks.h"

namespace corvane {

WString log_seconds()
{
    std::uint32_t ticks = tick_count();
    WString milliseconds = to_wstring(ticks % 1000 + 1000).substr(1);
    return to_wstring(ticks / 1000) + u"." + milliseconds;
}

} // namespace corvane
