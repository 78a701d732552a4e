#pragma once

#include "device/skin/render/Color.h"

#include <cstdint>
#include <memory>

namespace corvane {

class Surface;

// Where a span's source pixels come from: row `y` of a picture. Blenders that read a second
// picture at the same coordinates (the mask) need the row as well as the pixels.
struct SourceRow {
    const Surface* surface { nullptr };
    std::int32_t y { 0 };
    const Pixel* pixels { nullptr }; // surface->row(y)
};

// A span object: writes a run of destination pixels from a run of source pixels by a fixed
// per-pixel rule. Blenders are small, chosen once per element and reused; all operations are
// const so one blender may serve many draws. Callers have already clipped: every index an
// operation computes lies inside the source row. Main thread only.
class Blender {
public:
    virtual ~Blender() = default;

    // A copy with the same rule and parameters (an animation takes a copy of its element's).
    virtual std::unique_ptr<Blender> clone() const = 0;

    // dst[i] from src.pixels[x + i], i in [0, count).
    virtual void copy(
        Pixel* dst, const SourceRow& src, std::int32_t x, std::int32_t count) const = 0;

    // dst[i] from src.pixels[(x_fixed + i * step_fixed) >> 10]: 22.10 fixed point.
    virtual void scaled_copy(Pixel* dst, const SourceRow& src, std::uint32_t x_fixed,
        std::uint32_t step_fixed, std::int32_t count) const = 0;

    // dst[i] from src.pixels[(coord + i) >> shift]: magnification by pixel replication.
    virtual void shifted_copy(Pixel* dst, const SourceRow& src, std::int32_t coord,
        std::int32_t shift, std::int32_t count) const = 0;

    // As shifted_copy, but the coordinate runs through [start, end) and wraps from end back to
    // start; `coord` must lie in that range and start < end.
    virtual void shifted_tiled_copy(Pixel* dst, const SourceRow& src, std::int32_t coord,
        std::int32_t start, std::int32_t end, std::int32_t shift, std::int32_t count) const = 0;

    // Blenders that need no source (solid fill, dim) write `count` pixels; the others leave the
    // destination as it is.
    virtual void fill(Pixel* dst, std::int32_t count) const;

    // copy() over a rectangle: `height` rows of `width` pixels from (x, y) of `src` to rows
    // `dst_stride` bytes apart. Blenders override it when a whole block goes faster than rows.
    virtual void copy_block(Pixel* dst, std::int32_t dst_stride, const Surface& src, std::int32_t x,
        std::int32_t y, std::int32_t width, std::int32_t height) const;

    Blender(const Blender&) = delete;
    Blender& operator=(const Blender&) = delete;

protected:
    Blender() = default;
};

} // namespace corvane
