#include "device/shell/Screen.h"

#include "device/skin/render/VisibilityAnimation.h"

namespace corvane {

std::unique_ptr<VisibilityAnimation> Screen::create_transition() const
{
    VisibilityAnimation* animation = visibility_animation();
    return animation ? animation->clone() : nullptr;
}

} // namespace corvane
