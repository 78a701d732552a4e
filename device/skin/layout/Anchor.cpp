#include "device/skin/layout/Anchor.h"

#include <algorithm>

namespace corvane {

AnchorMode parse_anchor_mode(WStringView word)
{
    static const struct {
        const char16_t* word;
        AnchorMode mode;
    } words[] = {
        { u"MIN_SIDE", AnchorMode::MinSide },
        { u"BOTH_SIDE", AnchorMode::BothSide },
        { u"MAX_SIDE", AnchorMode::MaxSide },
        { u"RATIO", AnchorMode::Ratio },
        { u"CENTER", AnchorMode::Center },
        { u"MIN_SIDE_NO_SIZE", AnchorMode::MinSideNoSize },
        { u"MAX_SIDE_NO_SIZE", AnchorMode::MaxSideNoSize },
        { u"BOTH_SIDE_NO_SIZE", AnchorMode::BothSideNoSize },
        { u"CENTER_NO_SIZE", AnchorMode::CenterNoSize },
    };
    for (const auto& entry : words) {
        if (word == entry.word)
            return entry.mode;
    }
    return AnchorMode::BothSide;
}

bool anchor_contributes_size(AnchorMode mode)
{
    return static_cast<int>(mode) <= 4;
}

std::int32_t anchor_size(AnchorMode mode, std::int32_t preferred, std::int32_t space,
    std::int32_t border_min, std::int32_t border_max)
{
    std::int32_t size = 0;
    switch (mode) {
    case AnchorMode::MinSide:
        size = std::min(preferred, space - border_min);
        break;
    case AnchorMode::MaxSide:
        size = std::min(preferred, space - border_max);
        break;
    case AnchorMode::Ratio:
    case AnchorMode::Center:
        size = std::min(preferred, space - border_min - border_max);
        break;
    case AnchorMode::MinSideNoSize:
    case AnchorMode::MaxSideNoSize:
    case AnchorMode::CenterNoSize:
        size = preferred;
        break;
    case AnchorMode::BothSide:
    case AnchorMode::BothSideNoSize:
    default:
        size = space - border_min - border_max;
        break;
    }
    return std::max(size, 0);
}

std::int32_t anchor_position(AnchorMode mode, std::int32_t size, std::int32_t space,
    std::int32_t border_min, std::int32_t border_max)
{
    switch (mode) {
    case AnchorMode::MaxSide:
    case AnchorMode::MaxSideNoSize: {
        std::int32_t position = space - size - border_max;
        return position < 1 ? 0 : position;
    }
    case AnchorMode::Center:
    case AnchorMode::CenterNoSize: {
        std::int32_t half = (space - border_min - size - border_max) / 2;
        return border_min + (half < 1 ? 0 : half);
    }
    default:
        return border_min;
    }
}

std::int32_t required_extent(
    AnchorMode mode, std::int32_t border_min, std::int32_t preferred, std::int32_t border_max)
{
    return anchor_contributes_size(mode) ? border_min + preferred + border_max : 0;
}

} // namespace corvane
