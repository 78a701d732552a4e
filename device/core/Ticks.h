#pragma once

#include "device/platform/Platform.h"

#include <cstdint>

namespace corvane {

// The system millisecond tick count that log lines and timers use.
inline std::uint32_t tick_count()
{
    return platform_clock().tick_count_ms();
}

} // namespace corvane
