#pragma once

#include <cstdint>

namespace corvane {

// A 16-bit RGB 565 pixel: red in bits 15-11, green in bits 10-5, blue in bits 4-0.
using Pixel = std::uint16_t;

// Full red and blue without green: the pixel the colour-key family of blenders never draws.
// Render caches are cleared to it before their element draws.
inline constexpr Pixel transparent_pixel = 0xF81F;

// The lowest green bit: set on opaque pixels, clear on shadow pixels (transparent_pixel aside).
inline constexpr Pixel opaque_bit = 0x0020;

// A colour as the skin gives it: red, green, blue and alpha bytes. Alpha is not stored in
// pixels; colours read from a skin have alpha 255.
struct Color {
    std::uint8_t red { 0 };
    std::uint8_t green { 0 };
    std::uint8_t blue { 0 };
    std::uint8_t alpha { 255 };

    constexpr Pixel to_565() const
    {
        return static_cast<Pixel>(((red & 0xF8) << 8) | ((green & 0xFC) << 3) | (blue >> 3));
    }
    friend constexpr bool operator==(Color, Color) = default;
};

// The 8-bit channels of a pixel, with the low bits zero (red and blue shifted left by 3, green
// by 2), as the mask and text blending read them.
constexpr std::uint8_t red_of(Pixel p)
{
    return static_cast<std::uint8_t>((p >> 11) << 3);
}
constexpr std::uint8_t green_of(Pixel p)
{
    return static_cast<std::uint8_t>(((p >> 5) & 0x3F) << 2);
}
constexpr std::uint8_t blue_of(Pixel p)
{
    return static_cast<std::uint8_t>((p & 0x1F) << 3);
}

constexpr Pixel pack_565(unsigned red, unsigned green, unsigned blue)
{
    return static_cast<Pixel>(((red & 0xF8) << 8) | ((green & 0xFC) << 3) | (blue >> 3));
}

} // namespace corvane
