#pragma once

#include <cstdint>

namespace corvane {

// The display as skins and screens see it: resolution, usable area, orientation and density.
// Built by the window layer; passed to every skin load.
struct DisplayInfo {
    std::int32_t width { 0 };
    std::int32_t height { 0 };
    std::int32_t left { 0 }; // origin of the usable area
    std::int32_t top { 0 };
    std::int32_t work_width { 0 };
    std::int32_t work_height { 0 };
    std::int32_t rotation { 0 }; // 0..3 for 0, 90, 180, 270 degrees
    std::int32_t dpi { 0 }; // vertical logical pixels per inch
    std::int32_t scale_shift { 0 }; // skin coordinates are shifted left by it

    // 0 below 192 dpi, 1 from 192, 2 from 384.
    static constexpr std::int32_t scale_shift_for(std::int32_t dpi)
    {
        return dpi >= 384 ? 2 : dpi >= 192 ? 1 : 0;
    }

    // A freshly built description: the usable area is the whole display, and a rotation the
    // display cannot report (anything but 0..3) reads as 0.
    static constexpr DisplayInfo make(
        std::int32_t width, std::int32_t height, std::int32_t rotation, std::int32_t dpi)
    {
        DisplayInfo info;
        info.width = width;
        info.height = height;
        info.work_width = width;
        info.work_height = height;
        info.rotation = rotation >= 0 && rotation <= 3 ? rotation : 0;
        info.dpi = dpi;
        info.scale_shift = scale_shift_for(dpi);
        return info;
    }

    // Two descriptions are the same display when resolution, orientation and density agree;
    // the usable area does not count.
    friend constexpr bool operator==(const DisplayInfo& a, const DisplayInfo& b)
    {
        return a.width == b.width && a.height == b.height && a.rotation == b.rotation
            && a.dpi == b.dpi;
    }
};

} // namespace corvane
