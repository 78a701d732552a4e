#pragma once

#include "device/core/KeyCode.h"

#include <cstdint>

namespace corvane {

// A key press or release as the screens receive it.
struct KeyEvent {
    KeyCode code { KeyCode::None };
    std::uint8_t pressed { 0 }; // 1 press, 0 release
    std::uint8_t first { 1 }; // 0 only for an auto-repeated press
};

} // namespace corvane
