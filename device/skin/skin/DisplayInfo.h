#pragma once

#include <cstdint>

namespace corvane {

// What the window knows about the screen when a skin is loaded. The window builds it; every
// skin load takes one, and only the scale shift changes how a skin reads.
struct DisplayInfo {
    std::int32_t width { 0 };
    std::int32_t height { 0 };
    std::int32_t left { 0 }; // origin of the usable area
    std::int32_t top { 0 };
    std::int32_t work_width { 0 }; // usable area
    std::int32_t work_height { 0 };
    std::int32_t rotation { 0 }; // 0..3 for 0, 90, 180, 270 degrees
    std::int32_t dpi { 96 }; // vertical logical pixels per inch
    std::int32_t scale_shift { 0 }; // 0 below 192 dpi, 1 from 192, 2 from 384

    // The shift that belongs to a dpi value.
    static std::int32_t scale_shift_for_dpi(std::int32_t dpi)
    {
        return dpi >= 384 ? 2 : dpi >= 192 ? 1 : 0;
    }

    // A freshly built description: the usable area is the whole display, and a rotation the
    // display cannot report (anything but 0..3) reads as 0.
    static DisplayInfo make(
        std::int32_t width, std::int32_t height, std::int32_t rotation, std::int32_t dpi)
    {
        DisplayInfo info;
        info.width = info.work_width = width;
        info.height = info.work_height = height;
        info.rotation = rotation >= 0 && rotation <= 3 ? rotation : 0;
        info.dpi = dpi;
        info.scale_shift = scale_shift_for_dpi(dpi);
        return info;
    }

    // Two descriptions are the same display when size, rotation and dpi agree; the usable
    // area may differ (the input panel moves it).
    friend bool operator==(const DisplayInfo& a, const DisplayInfo& b)
    {
        return a.width == b.width && a.height == b.height && a.rotation == b.rotation
            && a.dpi == b.dpi;
    }
};

} // namespace corvane
