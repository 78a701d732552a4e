#pragma once

#include <cstdint>

namespace corvane {

// A key press or release in the program's own key numbering (0 "None" ... 68 "/").
struct KeyEvent {
    std::int32_t code { 0 };
    bool pressed { false }; // true for a press, false for a release
    bool first { true }; // false for an auto-repeated press
};

// A stylus (pointer) event in client pixels.
struct PointerEvent {
    std::int32_t x { 0 };
    std::int32_t y { 0 };
    std::uint32_t time { 0 }; // milliseconds, the time stamp of the window message
    std::uint32_t reserved { 0 }; // always 0
    bool pressed { false };
    bool cancelled { false }; // the capture ended without a button release
};

} // namespace corvane
