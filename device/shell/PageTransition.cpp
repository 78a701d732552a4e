#include "device/shell/PageTransition.h"

#include "device/shell/Screen.h"
#include "device/skin/render/RenderSurface.h"
#include "device/skin/render/VisibilityAnimation.h"

namespace corvane {

PageTransition::PageTransition(std::unique_ptr<VisibilityAnimation> animation)
    : m_animation(std::move(animation))
{
}

PageTransition::~PageTransition() = default;

void PageTransition::start(std::shared_ptr<const RenderSurface> snapshot, std::int32_t direction,
    Screen& target, Size size)
{
    auto image = std::make_shared<RenderSurface>();
    if (image->recreate(size.width, size.height) || image->has_surface()) {
        // Parts of the screen that draw nothing let the snapshot show through.
        image->fill_color({ 0, 0 }, size, { 255, 0, 255, 255 });
        // Laid out before its picture is taken: lists fill their rows when advanced.
        target.tick(0);
        target.paint(*image, { 0, 0 });
    }
    m_target = &target;
    m_direction = direction;
    m_animation->start(std::move(snapshot), std::move(image), direction);
}

bool PageTransition::advance(double seconds)
{
    return m_animation->tick(seconds);
}

void PageTransition::draw(RenderSurface& surface, Point offset) const
{
    m_animation->draw(surface, offset);
}

void PageTransition::reverse()
{
    m_direction = -m_direction;
    m_animation->reverse();
}

} // namespace corvane
