#include "device/skin/render/Surface.h"

#include <cstring>
#include <limits>
#include <new>

namespace corvane {

namespace {

    // Rows start 32-byte aligned in memory as a whole so vector loads never split a cache line at
    // the first row; every later row is at least 4-byte aligned by the stride rule.
    constexpr std::align_val_t surface_alignment { 32 };

    // Keeps sizes far from overflow in every stride and offset computation.
    constexpr std::int64_t max_surface_bytes = std::int64_t(1) << 30;
    constexpr std::int32_t max_surface_side = 1 << 15;

} // namespace

struct Surface::OwnedTag { };

std::unique_ptr<Surface> Surface::allocate(std::int32_t width, std::int32_t height)
{
    if (width <= 0 || height <= 0 || width > max_surface_side || height > max_surface_side)
        return nullptr;
    std::int64_t bytes = std::int64_t(stride_for(width)) * height;
    if (bytes > max_surface_bytes)
        return nullptr;
    void* memory = ::operator new(static_cast<std::size_t>(bytes), surface_alignment, std::nothrow);
    if (!memory)
        return nullptr;
    return std::make_unique<Surface>(OwnedTag {}, static_cast<Pixel*>(memory), width, height);
}

Surface::Surface(const OwnedTag&, Pixel* pixels, std::int32_t width, std::int32_t height)
    : m_pixels(pixels)
    , m_width(width)
    , m_height(height)
    , m_stride(stride_for(width))
    , m_owned(true)
{
}

Surface::Surface(Pixel* pixels, std::int32_t width, std::int32_t height, std::int32_t stride)
    : m_pixels(pixels)
    , m_width(width)
    , m_height(height)
    , m_stride(stride)
{
}

Surface::~Surface()
{
    if (m_owned)
        ::operator delete(m_pixels, surface_alignment);
}

void Surface::clear(Pixel value)
{
    std::uint32_t word = value | (std::uint32_t(value) << 16);
    for (std::int32_t y = 0; y < m_height; ++y) {
        auto* words = reinterpret_cast<std::uint32_t*>(row(y));
        std::int32_t count = m_stride / 4;
        for (std::int32_t i = 0; i < count; ++i)
            words[i] = word;
    }
}

} // namespace corvane
