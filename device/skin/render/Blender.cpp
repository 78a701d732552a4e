#include "device/skin/render/Blender.h"

#include "device/skin/render/Surface.h"

namespace corvane {

void Blender::fill(Pixel*, std::int32_t) const
{
    // Blenders that combine a source with the destination have nothing to write without one.
}

void Blender::copy_block(Pixel* dst, std::int32_t dst_stride, const Surface& src, std::int32_t x,
    std::int32_t y, std::int32_t width, std::int32_t height) const
{
    for (std::int32_t row = 0; row < height; ++row) {
        SourceRow source { &src, y + row, src.row(y + row) };
        copy(reinterpret_cast<Pixel*>(
                 reinterpret_cast<std::uint8_t*>(dst) + std::ptrdiff_t(row) * dst_stride),
            source, x, width);
    }
}

} // namespace corvane
