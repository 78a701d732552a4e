#pragma once

#include <cstdint>

namespace corvane {

// A stylus (mouse) event in client pixels. Moves carry only x, y and time.
struct PointerEvent {
    std::int32_t x { 0 };
    std::int32_t y { 0 };
    std::uint32_t time { 0 }; // milliseconds, the time stamp of the window message
    std::int32_t reserved { 0 }; // always 0
    std::uint8_t pressed { 0 };
    std::uint8_t cancelled { 0 }; // 1 when the capture ended without a button release
};

} // namespace corvane
