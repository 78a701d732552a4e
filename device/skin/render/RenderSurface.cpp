#include "device/skin/render/RenderSurface.h"

#include "device/core/FatalFault.h"
#include "device/skin/render/PixelOps.h"

#include <algorithm>
#include <atomic>

namespace corvane {

namespace {

    std::atomic<std::int64_t> s_live_pixels { 0 };

    std::int64_t pixels_of(const Surface* surface)
    {
        return surface ? std::int64_t(surface->width()) * surface->height() : 0;
    }

    // The intersection in 64 bits, so huge sizes from callers cannot overflow.
    struct WideRect {
        std::int64_t min_x, min_y, max_x, max_y;
        bool is_empty() const { return max_x <= min_x || max_y <= min_y; }
    };

    WideRect wide(Point origin, Size size)
    {
        return { origin.x, origin.y, std::int64_t(origin.x) + size.width,
            std::int64_t(origin.y) + size.height };
    }

    WideRect intersect(const WideRect& a, const Rect& b)
    {
        return { std::max<std::int64_t>(a.min_x, b.min_x), std::max<std::int64_t>(a.min_y, b.min_y),
            std::min<std::int64_t>(a.max_x, b.max_x), std::min<std::int64_t>(a.max_y, b.max_y) };
    }

} // namespace

RenderSurface::RenderSurface(Surface& target)
    : m_surface(&target)
{
    reset_clip();
}

RenderSurface::~RenderSurface()
{
    release();
}

bool RenderSurface::recreate(std::int32_t width, std::int32_t height)
{
    Size current = size();
    if (current.width == width && current.height == height)
        return false;
    if (m_clip_depth != 0)
        fatal_fault(u"RenderSurface::recreate", u"Clip is in effect, cannot resize");
    release();
    m_owned = Surface::allocate(width, height);
    if (m_owned) {
        m_surface = m_owned.get();
        s_live_pixels += pixels_of(m_surface);
    }
    reset_clip();
    return true;
}

void RenderSurface::attach(Surface* target)
{
    if (m_clip_depth != 0)
        fatal_fault(u"RenderSurface::attach", u"Clip is in effect, cannot resize");
    release();
    m_surface = target;
    reset_clip();
}

void RenderSurface::release()
{
    if (m_owned) {
        s_live_pixels -= pixels_of(m_owned.get());
        m_owned.reset();
    }
    m_surface = nullptr;
    m_clip = {};
}

void RenderSurface::reset_clip()
{
    m_clip = m_surface ? m_surface->bounds() : Rect {};
}

Size RenderSurface::size() const
{
    return m_surface ? m_surface->size() : Size {};
}

std::int64_t RenderSurface::live_pixel_count()
{
    return s_live_pixels.load();
}

Rect RenderSurface::push_clip(Point origin, Size size)
{
    Rect saved = m_clip;
    WideRect narrowed = intersect(wide(origin, size), m_clip);
    if (narrowed.is_empty())
        m_clip = { m_clip.min_x, m_clip.min_y, m_clip.min_x, m_clip.min_y };
    else
        m_clip = { std::int32_t(narrowed.min_x), std::int32_t(narrowed.min_y),
            std::int32_t(narrowed.max_x), std::int32_t(narrowed.max_y) };
    ++m_clip_depth;
    return saved;
}

void RenderSurface::pop_clip(const Rect& saved)
{
    m_clip = saved;
    --m_clip_depth;
}

void RenderSurface::fill(Point origin, Size size, const Blender& blender)
{
    if (!m_surface)
        return;
    WideRect r = intersect(intersect(wide(origin, size), m_clip), m_surface->bounds());
    if (r.is_empty())
        return;
    auto width = std::int32_t(r.max_x - r.min_x);
    for (auto y = std::int32_t(r.min_y); y < r.max_y; ++y)
        blender.fill(m_surface->row(y) + r.min_x, width);
}

void RenderSurface::fill_color(Point origin, Size size, Color color)
{
    if (!m_surface)
        return;
    WideRect r = intersect(intersect(wide(origin, size), m_clip), m_surface->bounds());
    if (r.is_empty())
        return;
    auto width = std::int32_t(r.max_x - r.min_x);
    Pixel value = color.to_565();
    // Whole rows without padding are one run of memory: one call instead of one per row.
    if (std::int64_t(width) * 2 == m_surface->stride()) {
        pixel_ops::fill_span(
            m_surface->row(std::int32_t(r.min_y)), value, width * std::int32_t(r.max_y - r.min_y));
        return;
    }
    for (auto y = std::int32_t(r.min_y); y < r.max_y; ++y)
        pixel_ops::fill_span(m_surface->row(y) + r.min_x, value, width);
}

void RenderSurface::blit(Point target_position, Size size, const Surface& source,
    Point source_position, const Blender& blender)
{
    if (!m_surface)
        return;
    // The source rectangle clipped to the source, moved to the target, clipped there.
    WideRect from = intersect(wide(source_position, size), source.bounds());
    std::int64_t dx = std::int64_t(target_position.x) - source_position.x;
    std::int64_t dy = std::int64_t(target_position.y) - source_position.y;
    WideRect to { from.min_x + dx, from.min_y + dy, from.max_x + dx, from.max_y + dy };
    to = intersect(intersect(to, m_clip), m_surface->bounds());
    if (from.is_empty() || to.is_empty())
        return;
    auto width = std::int32_t(to.max_x - to.min_x);
    auto height = std::int32_t(to.max_y - to.min_y);
    blender.copy_block(m_surface->row(std::int32_t(to.min_y)) + to.min_x, m_surface->stride(),
        source, std::int32_t(to.min_x - dx), std::int32_t(to.min_y - dy), width, height);
}

void RenderSurface::blit(Point target_position, Size size, const RenderSurface& source,
    Point source_position, const Blender& blender)
{
    if (source.m_surface)
        blit(target_position, size, *source.m_surface, source_position, blender);
}

void RenderSurface::stretch_blit(Point target_position, Size target_size, const Surface& source,
    Point source_position, Size source_size, const Blender& blender)
{
    if (!m_surface || target_size.is_empty() || source_size.is_empty())
        return;
    // A source rectangle reaching outside the source is narrowed first, and the target with it
    // in proportion, so every source index stays inside the picture.
    WideRect full = wide(source_position, source_size);
    WideRect from = intersect(full, source.bounds());
    if (from.is_empty())
        return;
    WideRect target = wide(target_position, target_size);
    if (from.min_x != full.min_x || from.min_y != full.min_y || from.max_x != full.max_x
        || from.max_y != full.max_y) {
        auto map = [](std::int64_t v, std::int64_t s0, std::int64_t slen, std::int64_t t0,
                       std::int64_t tlen) { return t0 + (v - s0) * tlen / slen; };
        target = { map(from.min_x, full.min_x, source_size.width, target.min_x, target_size.width),
            map(from.min_y, full.min_y, source_size.height, target.min_y, target_size.height),
            map(from.max_x, full.min_x, source_size.width, target.min_x, target_size.width),
            map(from.max_y, full.min_y, source_size.height, target.min_y, target_size.height) };
    }
    std::int64_t tw = target.max_x - target.min_x;
    std::int64_t th = target.max_y - target.min_y;
    std::int64_t sw = from.max_x - from.min_x;
    std::int64_t sh = from.max_y - from.min_y;
    if (tw <= 0 || th <= 0)
        return;
    WideRect drawn = intersect(intersect(target, m_clip), m_surface->bounds());
    if (drawn.is_empty())
        return;
    auto step_x = std::uint32_t((sw << 10) / tw);
    auto step_y = std::uint32_t((sh << 10) / th);
    auto x_fixed = std::uint32_t((from.min_x << 10) + (drawn.min_x - target.min_x) * step_x);
    auto width = std::int32_t(drawn.max_x - drawn.min_x);
    for (auto y = std::int32_t(drawn.min_y); y < drawn.max_y; ++y) {
        auto sy = std::int32_t(from.min_y + (((y - target.min_y) * step_y) >> 10));
        SourceRow row { &source, sy, source.row(sy) };
        blender.scaled_copy(m_surface->row(y) + drawn.min_x, row, x_fixed, step_x, width);
    }
}

} // namespace corvane
