// The list's input and drawing: finger scrolling and flings, keys, and painting the items in view.
#include "device/core/KeyCode.h"
#include "device/skin/render/Blenders.h"
#include "device/skin/render/RenderSurface.h"
#include "device/skin/widgets/VListElement.h"

#include <algorithm>
#include <cmath>

namespace corvane {

namespace {

    constexpr double max_speed = 2000; // pixels per second

} // namespace

bool VListElement::pointer_event(const PointerEvent& event)
{
    Point point { event.x, event.y };
    if (event.pressed && !event.cancelled) {
        m_finger_down = true;
        m_finger = point;
        m_tracker.press(event.x, event.y, event.time);
        cancel_press();
        if (m_speed != 0)
            return true;
        std::int32_t index = -1;
        if (Element* item = item_at(point, &index)) {
            m_pressed = item;
            item->pointer_event(event);
            if (LiveItem* live = find_live(index))
                update_state_images(*live);
            mark_redraw();
        }
        return true;
    }
    m_tracker.move(event.x, event.y, event.time);
    m_finger_down = false;
    if (Element* pressed = m_pressed) {
        m_speed = 0;
        if (event.cancelled || item_at(point) != pressed) {
            cancel_press();
            return true;
        }
        std::int32_t index = pressed_index();
        if (pressed->pointer_capture()) {
            m_pressed = nullptr;
            pressed->pointer_event(event);
        } else {
            m_pressed = nullptr;
            if (LiveItem* live = find_live(index))
                update_state_images(*live);
            if (m_provider && index >= 0)
                m_provider->activated(*this, index);
        }
        mark_redraw();
        return true;
    }
    bool beyond_top = first_is_top() && m_offset > m_border_min;
    bool beyond_end = last_is_loaded() && m_offset < end_offset();
    if (!beyond_top && !beyond_end)
        m_speed = std::clamp(-m_tracker.velocity_y(), -max_speed, max_speed);
    m_cursor = -1;
    m_cursor_speed = 0;
    mark_redraw();
    return true;
}

void VListElement::pointer_moved(const PointerEvent& event)
{
    if (!m_finger_down)
        return;
    double dy = event.y - m_finger.y;
    m_finger = { event.x, event.y };
    m_tracker.move(event.x, event.y, event.time);
    if (m_pressed && !m_tracker.is_dragging()) {
        m_pressed->pointer_moved(event);
    } else if (m_pressed) {
        cancel_press();
    }
    double factor = 1;
    double over = m_offset - m_border_min;
    double gap = end_offset() - m_offset;
    if (dy > 0 && first_is_top() && over > 0)
        factor = std::max(0.0, 1 - 2 * over / std::max(1, height()));
    else if (dy < 0 && last_is_loaded() && gap > 0)
        factor = std::max(0.0, 1 - 2 * gap / std::max(1, height()));
    m_offset += dy * factor;
    m_cursor = -1;
    m_cursor_speed = 0;
    clamp_for_grow();
    mark_redraw();
}

bool VListElement::key_event(const KeyEvent& event)
{
    if (m_pressed)
        return Element::key_event(event);
    auto code = KeyCode(event.code);
    bool own = code == KeyCode::Up || code == KeyCode::Down || code == KeyCode::Enter;
    if (!event.pressed) {
        m_cursor_speed = std::clamp(m_cursor_speed, -s_cursor_step, s_cursor_step);
        if (own)
            return true;
    } else if (code == KeyCode::Up && m_count > 0) {
        if (m_cursor < 0) {
            m_cursor = last_visible_index();
            m_cursor_speed = -s_cursor_step;
        } else if (m_cursor != 0) {
            m_cursor_speed -= s_cursor_step;
        }
        mark_redraw();
        return true;
    } else if (code == KeyCode::Down && m_count > 0) {
        if (m_cursor < 0) {
            m_cursor = first_visible_index();
            m_cursor_speed = s_cursor_step;
        } else if (m_cursor < m_count - 1) {
            m_cursor_speed += s_cursor_step;
        }
        mark_redraw();
        return true;
    } else if (code == KeyCode::Enter) {
        if (m_cursor >= 0 && m_cursor < m_count && m_provider)
            m_provider->activated(*this, static_cast<std::int32_t>(m_cursor + 0.5));
        return true;
    }
    if (m_cursor >= 0) {
        if (Element* item = live_item(static_cast<std::int32_t>(m_cursor + 0.5));
            item && item->key_event(event))
            return true;
    }
    return Element::key_event(event);
}

bool VListElement::paint_item_cache(LiveItem& item)
{
    // The row is painted over black and over white: a pixel that comes out the same is the
    // row's own, one that shows the two backgrounds untouched is see-through and becomes the
    // key colour, and anything between blends with the list and cannot be kept.
    Element& element = *item.element;
    if (!item.cache)
        item.cache = std::make_unique<RenderSurface>();
    item.cache->recreate(element.width(), element.height());
    m_scratch.recreate(element.width(), element.height());
    if (!item.cache->has_surface() || !m_scratch.has_surface())
        return false;
    item.cache->fill_color({}, item.cache->size(), Color { 0, 0, 0, 255 });
    element.paint(*item.cache, {});
    m_scratch.fill_color({}, m_scratch.size(), Color { 255, 255, 255, 255 });
    element.paint(m_scratch, {});
    Surface& over_black = *item.cache->surface();
    const Surface& over_white = *m_scratch.surface();
    for (std::int32_t y = 0; y < over_black.height(); ++y) {
        Pixel* black = over_black.row(y);
        const Pixel* white = over_white.row(y);
        for (std::int32_t x = 0; x < over_black.width(); ++x) {
            if (black[x] == white[x])
                continue;
            if (black[x] != 0x0000 || white[x] != 0xFFFF)
                return false;
            black[x] = transparent_pixel;
        }
    }
    return true;
}

void VListElement::draw(RenderSurface& surface, Point origin)
{
    paint_children(surface, origin);
    Rect saved = surface.push_clip(origin, size());
    for (LiveItem& item : m_items) {
        Element& element = *item.element;
        Point at { origin.x + element.x() - x(), origin.y + element.y() - y() };
        if (at.y + element.height() <= origin.y || at.y >= origin.y + height())
            continue;
        if (element.needs_redraw())
            item.cache_valid = false;
        if (!item.cache_valid) {
            item.cache_usable = paint_item_cache(item);
            item.cache_valid = true;
        }
        if (item.cache_usable) {
            surface.blit(at, element.size(), *item.cache, {}, color_key_blender());
        } else {
            Rect own = surface.push_clip(at, element.size());
            element.paint(surface, at);
            surface.pop_clip(own);
        }
    }
    if (m_cursor >= 0 && !m_highlight.bitmap.is_empty()) {
        auto k = static_cast<std::int32_t>(std::floor(m_cursor));
        double fraction = m_cursor - k;
        double top = item_top(k);
        double h = item_height_at(k);
        if (fraction > 0 && !std::isnan(item_top(k + 1))) {
            top += fraction * (item_top(k + 1) - top);
            h += fraction * (item_height_at(k + 1) - h);
        }
        if (!std::isnan(top))
            m_highlight.draw(surface, { origin.x, origin.y + static_cast<std::int32_t>(top) },
                { width(), static_cast<std::int32_t>(h) }, *m_highlight_blender);
    }
    surface.pop_clip(saved);
}

} // namespace corvane
