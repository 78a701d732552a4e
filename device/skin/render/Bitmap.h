#pragma once

#include "common/base/Text.h"
#include "device/skin/render/Geometry.h"
#include "device/skin/render/Surface.h"

#include <cstdint>
#include <memory>

namespace corvane {

class Blender;
class RenderSurface;

// The source split of a picture along both axes: [x0, x1) is the fixed start part, [x1, x2) the
// tiled middle and [x2, x3) the fixed end part (y likewise). Coordinates are in the picture's
// scaled space: bitmap pixel = coordinate >> scale shift.
struct ImageCoords {
    std::int32_t x0 { 0 }, y0 { 0 }, x1 { 0 }, y1 { 0 }, x2 { 0 }, y2 { 0 }, x3 { 0 }, y3 { 0 };
    friend constexpr bool operator==(const ImageCoords&, const ImageCoords&) = default;
};

// A loaded picture: a shared, reference-counted handle to its pixels plus the path it came
// from. Copies share the pixels. A default bitmap is the empty picture (0 x 0).
// Main thread only.
class Bitmap {
public:
    Bitmap() = default;
    Bitmap(std::shared_ptr<const Surface> surface, WString path);

    Size size() const { return m_surface ? m_surface->size() : Size {}; }
    bool is_empty() const { return size().is_empty(); }
    const WString& path() const { return m_path; }
    const Surface* surface() const { return m_surface.get(); }
    const std::shared_ptr<const Surface>& shared_surface() const { return m_surface; }

    // Fills the target rectangle with the picture as a three-part image in both directions
    // (fixed start, tiled middle, fixed end), each source pixel magnified to a
    // 2^scale_shift square. Coordinates outside the bitmap are clamped to it, so no pixel
    // outside the bitmap is ever read.
    void draw(RenderSurface& target, Point position, Size size, const ImageCoords& coords,
        std::int32_t scale_shift, const Blender& blender) const;

private:
    std::shared_ptr<const Surface> m_surface;
    WString m_path;
};

// The value of a picture property and of a picture table entry: the split, the bitmap, the
// scale shift in force when it was read, and the record's flag (carried, not used to draw).
struct ImageRef {
    ImageCoords coords;
    Bitmap bitmap;
    std::int32_t scale_shift { 0 };
    std::uint8_t flag { 0 };

    // A reference tiling the whole bitmap at its own size: x0 = x1 = 0, x2 = x3 = width (y
    // likewise), scale shift 0, flag 0.
    static ImageRef whole(const Bitmap& bitmap);

    void draw(RenderSurface& target, Point position, Size size, const Blender& blender) const
    {
        bitmap.draw(target, position, size, coords, scale_shift, blender);
    }
};

// How one axis of a picture is split for a target length; exposed for tests.
struct AxisSplit {
    std::int32_t start { 0 }; // pixels from the fixed start part
    std::int32_t middle { 0 }; // pixels from the tiled middle
    std::int32_t end { 0 }; // pixels from the fixed end part
};
AxisSplit split_axis(
    std::int32_t length, std::int32_t c0, std::int32_t c1, std::int32_t c2, std::int32_t c3);

} // namespace corvane
