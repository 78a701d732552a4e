#include "device/skin/render/Bitmap.h"

#include "device/skin/render/Blender.h"
#include "device/skin/render/RenderSurface.h"

#include <algorithm>
#include <array>

namespace corvane {

Bitmap::Bitmap(std::shared_ptr<const Surface> surface, WString path)
    : m_surface(std::move(surface))
    , m_path(std::move(path))
{
}

ImageRef ImageRef::whole(const Bitmap& bitmap)
{
    Size size = bitmap.size();
    ImageRef ref;
    ref.coords = { 0, 0, 0, 0, size.width, size.height, size.width, size.height };
    ref.bitmap = bitmap;
    return ref;
}

AxisSplit split_axis(
    std::int32_t length, std::int32_t c0, std::int32_t c1, std::int32_t c2, std::int32_t c3)
{
    std::int32_t left = c1 - c0;
    std::int32_t right = c3 - c2;
    if (length <= 0)
        return {};
    if (length > left + right)
        return { left, length - left - right, right };
    std::int32_t start = length / 2;
    std::int32_t end = (length - 1) / 2;
    std::int32_t start_taken = std::min(start, left);
    std::int32_t end_taken = std::min(end, right);
    // What one side cannot take goes to the other.
    std::int32_t start_final = std::min(start_taken + (end - end_taken), left);
    std::int32_t end_final = std::min(end_taken + (start - start_taken), right);
    return { start_final, length - start_final - end_final, end_final };
}

namespace {

    // One run of target pixels along an axis and where its source starts.
    struct Segment {
        std::int32_t target_begin { 0 }; // offset from the picture's target origin
        std::int32_t target_end { 0 };
        std::int32_t source { 0 }; // scaled source coordinate of target_begin
        bool tiled { false };
    };

    struct AxisPlan {
        std::array<Segment, 3> segments;
        std::int32_t count { 0 };
        std::int32_t tile_start { 0 };
        std::int32_t tile_end { 0 };
    };

    // The start, middle and end segments of one axis, narrowed to the visible target offsets
    // [visible_begin, visible_end). A middle whose source range is empty is left undrawn.
    AxisPlan plan_axis(std::int32_t length, const std::array<std::int32_t, 4>& c,
        std::int32_t visible_begin, std::int32_t visible_end)
    {
        AxisSplit split = split_axis(length, c[0], c[1], c[2], c[3]);
        AxisPlan plan;
        plan.tile_start = c[1];
        plan.tile_end = c[2];
        auto add = [&](std::int32_t begin, std::int32_t end, std::int32_t source, bool tiled) {
            std::int32_t b = std::max(begin, visible_begin);
            std::int32_t e = std::min(end, visible_end);
            if (b >= e)
                return;
            std::int32_t skipped = b - begin;
            std::int32_t first = source + skipped;
            if (tiled)
                first = c[1] + (source - c[1] + skipped) % (c[2] - c[1]);
            plan.segments[plan.count++] = { b, e, first, tiled };
        };
        add(0, split.start, c[0], false);
        if (c[2] > c[1])
            add(split.start, split.start + split.middle, c[1], true);
        // A shortened end part keeps its outer edge, as the start part keeps its own.
        add(split.start + split.middle, length, c[3] - split.end, false);
        return plan;
    }

    // Coordinates clamped into the bitmap and made ordered, so that no coordinate in [c0, c3) maps
    // outside it.
    std::array<std::int32_t, 4> clamp_coords(
        std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d, std::int32_t limit)
    {
        std::array<std::int32_t, 4> out { a, b, c, d };
        std::int32_t low = 0;
        for (auto& v : out) {
            v = std::clamp(v, low, limit);
            low = v;
        }
        return out;
    }

} // namespace

void Bitmap::draw(RenderSurface& target, Point position, Size size, const ImageCoords& coords,
    std::int32_t scale_shift, const Blender& blender) const
{
    Surface* dst = target.surface();
    if (!dst || !m_surface || size.is_empty() || m_surface->size().is_empty())
        return;
    std::int32_t shift = std::clamp(scale_shift, 0, 8);
    std::int64_t limit_x = std::int64_t(m_surface->width()) << shift;
    std::int64_t limit_y = std::int64_t(m_surface->height()) << shift;
    auto cx = clamp_coords(coords.x0, coords.x1, coords.x2, coords.x3,
        std::int32_t(std::min<std::int64_t>(limit_x, INT32_MAX)));
    auto cy = clamp_coords(coords.y0, coords.y1, coords.y2, coords.y3,
        std::int32_t(std::min<std::int64_t>(limit_y, INT32_MAX)));

    Rect visible = Rect::from(position, size).intersected(target.clip()).intersected(dst->bounds());
    if (visible.is_empty())
        return;
    AxisPlan columns
        = plan_axis(size.width, cx, visible.min_x - position.x, visible.max_x - position.x);
    AxisPlan rows
        = plan_axis(size.height, cy, visible.min_y - position.y, visible.max_y - position.y);

    for (std::int32_t r = 0; r < rows.count; ++r) {
        const Segment& row_segment = rows.segments[r];
        std::int32_t source_y = row_segment.source;
        for (std::int32_t ty = row_segment.target_begin; ty < row_segment.target_end; ++ty) {
            std::int32_t bitmap_y = source_y >> shift;
            SourceRow source { m_surface.get(), bitmap_y, m_surface->row(bitmap_y) };
            Pixel* out = dst->row(position.y + ty) + position.x;
            for (std::int32_t c = 0; c < columns.count; ++c) {
                const Segment& s = columns.segments[c];
                std::int32_t count = s.target_end - s.target_begin;
                if (s.tiled)
                    blender.shifted_tiled_copy(out + s.target_begin, source, s.source,
                        columns.tile_start, columns.tile_end, shift, count);
                else
                    blender.shifted_copy(out + s.target_begin, source, s.source, shift, count);
            }
            ++source_y;
            if (row_segment.tiled && source_y >= rows.tile_end)
                source_y = rows.tile_start;
        }
    }
}

} // namespace corvane
