#include "device/skin/render/Blender.h"

namespace corvane {

void Blender::fill(Pixel*, std::int32_t) const
{
    // Blenders that combine a source with the destination have nothing to write without one.
}

} // namespace corvane
