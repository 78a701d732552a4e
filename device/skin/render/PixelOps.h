#pragma once

// Per-pixel rules of the blenders and the span helpers they share. Internal to the renderer.

#include "device/skin/render/Color.h"

#include <cstdint>
#include <cstring>
#include <cwchar>

static_assert(sizeof(wchar_t) == 4, "fill_span stores pixel pairs as wchar_t");

namespace corvane::pixel_ops {

// Two pixels seen as one word. may_alias keeps the optimiser from reordering these stores
// against the 16-bit accesses to the same memory.
using PixelPair = std::uint32_t __attribute__((may_alias));

constexpr Pixel quarter(Pixel d)
{
    return static_cast<Pixel>((d & 0xE79F) >> 2);
}
constexpr Pixel half(Pixel d)
{
    return static_cast<Pixel>((d & 0xF7DF) >> 1);
}
constexpr Pixel three_quarters(Pixel d)
{
    Pixel h = half(d);
    return static_cast<Pixel>(h + half(h));
}

// Every channel scaled to k/16. The red and blue fields are multiplied together: blue * 16 stays
// below bit 11, so the products never carry into each other.
constexpr Pixel dim(Pixel d, std::uint32_t k)
{
    std::uint32_t rb = ((std::uint32_t(d & 0xF81F) * k) >> 4) & 0xF81F;
    std::uint32_t g = ((std::uint32_t(d & 0x07E0) * k) >> 4) & 0x07E0;
    return static_cast<Pixel>(rb | g);
}

constexpr Pixel tint(Pixel s, std::uint32_t red, std::uint32_t green, std::uint32_t blue)
{
    std::uint32_t r = ((std::uint32_t(s >> 11) * red) >> 8);
    std::uint32_t g = ((std::uint32_t((s >> 5) & 0x3F) * green) >> 8);
    std::uint32_t b = ((std::uint32_t(s & 0x1F) * blue) >> 8);
    return static_cast<Pixel>(
        ((r > 31 ? 31 : r) << 11) | ((g > 63 ? 63 : g) << 5) | (b > 31 ? 31 : b));
}

// d + (s - d) * m / 32 per 8-bit channel, truncated towards zero, packed back to 565.
constexpr Pixel mix(Pixel s, Pixel d, std::int32_t m)
{
    auto channel = [m](std::int32_t sc, std::int32_t dc) { return dc + (sc - dc) * m / 32; };
    std::int32_t r = channel(red_of(s), red_of(d));
    std::int32_t g = channel(green_of(s), green_of(d));
    std::int32_t b = channel(blue_of(s), blue_of(d));
    return pack_565(static_cast<unsigned>(r), static_cast<unsigned>(g), static_cast<unsigned>(b));
}

// Writes `count` copies of `value`, two pixels per 32-bit word between an odd first and last.
// The words go through wmemset (32-bit wchar_t here), which the C library tunes per processor.
inline void fill_span(Pixel* dst, Pixel value, std::int32_t count)
{
    if (count <= 0)
        return;
    if (reinterpret_cast<std::uintptr_t>(dst) & 2) {
        *dst++ = value;
        --count;
    }
    std::uint32_t word = value | (std::uint32_t(value) << 16);
    std::int32_t pairs = count >> 1;
    if (pairs > 0)
        std::wmemset(
            reinterpret_cast<wchar_t*>(dst), static_cast<wchar_t>(word), std::size_t(pairs));
    if (count & 1)
        dst[count - 1] = value;
}

} // namespace corvane::pixel_ops
