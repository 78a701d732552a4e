#pragma once

#include "device/skin/render/Color.h"
#include "device/skin/render/Geometry.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace corvane {

// A 16-bit pixel buffer, row 0 at the top. The row stride in bytes is 2 * width rounded up to a
// multiple of 4, so every row starts on a 32-bit boundary and spans can be processed two pixels
// per word. A surface either owns its memory or views memory that a display back-end owns.
// Not thread-safe; not copyable.
class Surface {
public:
    // A new surface of that size with unspecified content, or nothing when the size is not
    // positive, too large or the memory cannot be had.
    static std::unique_ptr<Surface> allocate(std::int32_t width, std::int32_t height);

    // Views `pixels` (stride bytes per row, a multiple of 4, at least 2 * width); the memory must
    // outlive the surface.
    Surface(Pixel* pixels, std::int32_t width, std::int32_t height, std::int32_t stride);
    ~Surface();
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    static constexpr std::int32_t stride_for(std::int32_t width) { return (width * 2 + 3) & ~3; }

    std::int32_t width() const { return m_width; }
    std::int32_t height() const { return m_height; }
    Size size() const { return { m_width, m_height }; }
    Rect bounds() const { return { 0, 0, m_width, m_height }; }
    std::int32_t stride() const { return m_stride; }

    Pixel* row(std::int32_t y)
    {
        return reinterpret_cast<Pixel*>(
            reinterpret_cast<std::uint8_t*>(m_pixels) + std::ptrdiff_t(y) * m_stride);
    }
    const Pixel* row(std::int32_t y) const
    {
        return reinterpret_cast<const Pixel*>(
            reinterpret_cast<const std::uint8_t*>(m_pixels) + std::ptrdiff_t(y) * m_stride);
    }
    Pixel pixel(std::int32_t x, std::int32_t y) const { return row(y)[x]; }
    void set_pixel(std::int32_t x, std::int32_t y, Pixel value) { row(y)[x] = value; }

    // Sets every pixel, padding included.
    void clear(Pixel value);

    // Used by allocate() only: the tag type is private.
    struct OwnedTag;
    Surface(const OwnedTag&, Pixel* pixels, std::int32_t width, std::int32_t height);

private:
    Pixel* m_pixels { nullptr };
    std::int32_t m_width { 0 };
    std::int32_t m_height { 0 };
    std::int32_t m_stride { 0 };
    bool m_owned { false };
};

} // namespace corvane
