// The drawing side of Element: painting with the render cache and the visibility animation.
#include "device/skin/render/Blenders.h"
#include "device/skin/skin/Element.h"
#include "device/skin/skin/ElementRenderState.h"

namespace corvane {

void Element::paint(RenderSurface& surface, Point origin)
{
    // A running animation draws the element by itself, also while a hide is under way and the
    // visible flag is already clear.
    if (m_render && m_render->animation && m_render->animation->is_running()) {
        m_render->animation->draw(surface, origin);
    } else if (!m_visible) {
        return;
    } else if (m_cache) {
        if (RenderSurface* cache = refresh_render_cache(); cache && cache->has_surface())
            surface.blit(origin, cache->size(), *cache, {}, *m_render->cache_blender);
    } else {
        draw(surface, origin);
    }
    m_needs_redraw = false;
}

void Element::paint_children(RenderSurface& surface, Point origin)
{
    for (std::size_t i = 0; i < m_children.size(); ++i) {
        Element& child = *m_children[i];
        child.paint(surface, { origin.x + child.m_x - m_x, origin.y + child.m_y - m_y });
    }
}

void Element::set_cache(bool cache, std::uint32_t alpha)
{
    m_cache = cache;
    m_cache_alpha = alpha;
    if (cache)
        render_state().cache_blender
            = alpha == 0xFFFFFFFF ? make_plain_copy_blender() : make_alpha_blender(alpha);
    mark_redraw();
}

RenderSurface* Element::refresh_render_cache()
{
    ElementRenderState& state = render_state();
    if (state.cache && m_cache && !m_needs_redraw)
        return state.cache.get();
    // A running animation may still hold the previous image; draw into a fresh surface then.
    if (!state.cache || state.cache.use_count() > 1)
        state.cache = std::make_shared<RenderSurface>();
    state.cache->recreate(m_width, m_height);
    if (state.cache->has_surface()) {
        state.cache->fill_color({}, state.cache->size(), Color { 255, 0, 255, 255 });
        draw(*state.cache, {});
    }
    return state.cache.get();
}

VisibilityAnimation* Element::visibility_animation() const
{
    return m_render ? m_render->animation.get() : nullptr;
}

void Element::set_visibility_animation(std::unique_ptr<VisibilityAnimation> animation)
{
    render_state().animation = std::move(animation);
}

bool Element::is_animating() const
{
    return m_render && m_render->animation && m_render->animation->is_running();
}

void Element::set_visible_animated(bool visible)
{
    if (m_visible == visible)
        return;
    if (visible)
        set_visible(true);
    if (VisibilityAnimation* animation = visibility_animation()) {
        if (animation->is_running()) {
            animation->reverse();
        } else {
            relayout_root();
            if (m_render->cache_blender)
                animation->set_blender(m_render->cache_blender->clone());
            refresh_render_cache();
            animation->start(nullptr, m_render->cache, visible ? 1 : -1);
        }
        mark_redraw();
    }
    if (!visible)
        set_visible(false);
}

} // namespace corvane
