#pragma once

#include "common/base/Text.h"
#include "device/skin/skin/Element.h"

#include <cstdint>

namespace corvane {

// The anchor mode a skin's "anchor_x" / "anchor_y" word names, matched whole and
// case-sensitively; any other word, or none, is BothSide.
AnchorMode parse_anchor_mode(WStringView word);

// Whether a child in this mode makes its parent larger (the *_NO_SIZE modes do not).
bool anchor_contributes_size(AnchorMode mode);

// What a child takes along one axis of a slot of extent `space`: its size, never below 0, and
// its position from the start of the slot.
std::int32_t anchor_size(AnchorMode mode, std::int32_t preferred, std::int32_t space,
    std::int32_t border_min, std::int32_t border_max);
std::int32_t anchor_position(AnchorMode mode, std::int32_t size, std::int32_t space,
    std::int32_t border_min, std::int32_t border_max);

// border_min + preferred + border_max, or 0 for the *_NO_SIZE modes.
std::int32_t required_extent(
    AnchorMode mode, std::int32_t border_min, std::int32_t preferred, std::int32_t border_max);

} // namespace corvane
