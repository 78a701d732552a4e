#pragma once

#include "device/skin/render/Blender.h"
#include "device/skin/render/Color.h"
#include "device/skin/render/Geometry.h"
#include "device/skin/render/Surface.h"

#include <cstdint>
#include <memory>

namespace corvane {

// A drawing target: a surface, the clip rectangle and the number of clips pushed. It either owns
// its surface (recreate) or draws into one that another object owns (the frame surface of a
// display back-end). Every draw operation clips to the current clip and to the surface bounds;
// a draw whose width or height is below 1 after clipping does nothing.
// Main thread only; not copyable.
class RenderSurface {
public:
    RenderSurface() = default;
    // Draws into `target`, which must outlive this object or be replaced by attach().
    explicit RenderSurface(Surface& target);
    ~RenderSurface();
    RenderSurface(const RenderSurface&) = delete;
    RenderSurface& operator=(const RenderSurface&) = delete;

    // Does nothing and answers false when the size is unchanged (or 0 x 0 with no surface yet).
    // Otherwise releases the old surface, allocates one of the new size (content unspecified),
    // resets the clip to the whole surface and answers true. A size whose memory cannot be had
    // leaves no surface. Recreating while a clip is pushed is a fatal fault.
    bool recreate(std::int32_t width, std::int32_t height);

    // Draws into another object's surface from now on (nullptr: none), releasing an owned one.
    void attach(Surface* target);
    // Releases the surface; size becomes 0 x 0.
    void release();

    // Saves the clip, narrows it to the rectangle and answers the saved clip for pop_clip().
    [[nodiscard]] Rect push_clip(Point origin, Size size);
    void pop_clip(const Rect& saved);
    const Rect& clip() const { return m_clip; }
    std::int32_t clip_depth() const { return m_clip_depth; }

    // Runs the blender's fill over the rectangle (solid fill, dim).
    void fill(Point origin, Size size, const Blender& blender);
    void fill_color(Point origin, Size size, Color color);

    // 1:1 copy of `size` pixels from `source` at `source_position` to `target_position`,
    // clipped on both sides.
    void blit(Point target_position, Size size, const Surface& source, Point source_position,
        const Blender& blender);
    void blit(Point target_position, Size size, const RenderSurface& source, Point source_position,
        const Blender& blender);

    // Scales the source rectangle onto the target rectangle; rows and columns step in 22.10
    // fixed point (nearest pixel, no filtering).
    void stretch_blit(Point target_position, Size target_size, const Surface& source,
        Point source_position, Size source_size, const Blender& blender);

    Size size() const;
    bool has_surface() const { return m_surface != nullptr; }
    Surface* surface() { return m_surface; }
    const Surface* surface() const { return m_surface; }

    // Total pixels of all surfaces that render surfaces own right now (the diagnostic line).
    static std::int64_t live_pixel_count();

private:
    void reset_clip();

    Rect m_clip {};
    std::int32_t m_clip_depth { 0 };
    Surface* m_surface { nullptr }; // The owned surface or another object's.
    std::unique_ptr<Surface> m_owned;
};

} // namespace corvane
