#pragma once

#include "device/core/testing/LogFile.h"
#include "device/core/testing/TestEnvironment.h"
#include "device/skin/render/RenderSurface.h"
#include "device/skin/render/Surface.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace corvane::test {

inline std::unique_ptr<Surface> make_surface(std::int32_t width, std::int32_t height, Pixel value)
{
    std::unique_ptr<Surface> surface = Surface::allocate(width, height);
    surface->clear(value);
    return surface;
}

// A render surface of the given size cleared to `value`, shared as animations hold their images.
inline std::shared_ptr<RenderSurface> make_render_surface(
    std::int32_t width, std::int32_t height, Pixel value)
{
    auto surface = std::make_shared<RenderSurface>();
    (void)surface->recreate(width, height);
    surface->surface()->clear(value);
    return surface;
}

// Deterministic noise, with a share of transparent and shadow pixels so every rule branch runs.
inline void fill_noise(Surface& surface, std::uint32_t seed)
{
    std::mt19937 random(seed);
    for (std::int32_t y = 0; y < surface.height(); ++y) {
        for (std::int32_t x = 0; x < surface.width(); ++x) {
            std::uint32_t r = random();
            Pixel p = Pixel(r >> 8);
            if ((r & 7) == 0)
                p = transparent_pixel;
            surface.set_pixel(x, y, p);
        }
    }
}

// The number of pixels that differ from `value`.
inline int count_not(const Surface& surface, Pixel value)
{
    int count = 0;
    for (std::int32_t y = 0; y < surface.height(); ++y)
        for (std::int32_t x = 0; x < surface.width(); ++x)
            count += surface.pixel(x, y) != value;
    return count;
}

// The smallest rectangle holding every pixel that differs from `value` (empty when none).
inline Rect changed_bounds(const Surface& surface, Pixel value)
{
    Rect r { surface.width(), surface.height(), 0, 0 };
    for (std::int32_t y = 0; y < surface.height(); ++y) {
        for (std::int32_t x = 0; x < surface.width(); ++x) {
            if (surface.pixel(x, y) == value)
                continue;
            r.min_x = std::min(r.min_x, x);
            r.min_y = std::min(r.min_y, y);
            r.max_x = std::max(r.max_x, x + 1);
            r.max_y = std::max(r.max_y, y + 1);
        }
    }
    return r.is_empty() ? Rect {} : r;
}

// Whole files as bytes, and little-endian fields inside them.
inline std::vector<std::uint8_t> read_bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

inline void write_bytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

inline std::uint32_t get_u32(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t(b[at + 3]) << 24);
}

inline void put_u32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline void put_u16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v)
{
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

inline std::uint16_t get_u16(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return b[at] | (b[at + 1] << 8);
}

} // namespace corvane::test
