#pragma once

#include "device/skin/render/Blender.h"
#include "device/skin/render/RenderSurface.h"
#include "device/skin/render/VisibilityAnimation.h"

#include <memory>

namespace corvane {

// The drawing side of an element, created the first time the element needs any of it.
struct ElementRenderState {
    // Shared with a running visibility animation, which keeps it as its "after" image.
    std::shared_ptr<RenderSurface> cache;
    std::unique_ptr<Blender> cache_blender; // plain copy, or the alpha blender of cache_alpha
    std::unique_ptr<VisibilityAnimation> animation;
};

} // namespace corvane
