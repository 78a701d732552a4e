#include "device/skin/widgets/SpinnerElement.h"

#include "device/skin/render/RenderSurface.h"
#include "device/skin/skin/Properties.h"

#include <algorithm>
#include <cmath>

namespace corvane {

void SpinnerElement::load(Properties& properties, const Node& node)
{
    Element::load(properties, node);
    set_element_size(properties.get_point(node, u"element_size", { 0, 60 }).y);
    m_tracker.set_scale_shift(properties.scale_shift());
}

void SpinnerElement::set_count(std::int32_t count, bool wrap)
{
    m_count = std::max(0, count);
    m_wrap = wrap;
    m_position = 0;
    m_target = 0;
    m_remaining = 0;
    m_rest = 0;
    m_resting = false;
    m_items.clear();
    mark_redraw();
}

std::int32_t SpinnerElement::current_index() const
{
    return static_cast<std::int32_t>(std::floor(m_position + 0.5));
}

Element* SpinnerElement::item(std::int32_t index) const
{
    auto found = m_items.find(index);
    return found == m_items.end() ? nullptr : found->second.get();
}

void SpinnerElement::set_position(double position)
{
    if (position == m_position || !std::isfinite(position))
        return;
    double old = m_position;
    std::int32_t turns = 0;
    if (m_wrap && m_count > 0) {
        turns
            = static_cast<std::int32_t>(std::floor(position / m_count) - std::floor(old / m_count));
        position = std::fmod(position, static_cast<double>(m_count));
        if (position < 0)
            position += m_count;
        // A coast in progress and the place it rests continue from the reduced position.
        m_target -= static_cast<double>(m_count) * turns;
        m_rest -= static_cast<double>(m_count) * turns;
    }
    m_position = position;
    m_last_turns = turns;
    mark_redraw();
    if (m_provider)
        m_provider->position_set(*this, { turns, m_position });
}

void SpinnerElement::report_drag(std::int32_t turns)
{
    if (m_provider)
        m_provider->position_dragged(*this, { turns, m_position });
}

void SpinnerElement::drag_by(double dy)
{
    if (height() <= 0 || m_count < 1)
        return;
    double factor = 1;
    if (!m_wrap) {
        if (dy > 0 && over_top() > 0)
            factor = std::max(0.0, 1 - 2 * over_top() / height());
        else if (dy < 0 && over_bottom() > 0)
            factor = std::max(0.0, 1 - 2 * over_bottom() / height());
    }
    m_last_turns = 0;
    set_position(m_position - dy * factor / m_element_size);
    report_drag(m_last_turns);
}

bool SpinnerElement::pointer_event(const PointerEvent& event)
{
    if (event.pressed && !event.cancelled) {
        m_finger_down = true;
        m_finger = { event.x, event.y };
        m_tracker.press(event.x, event.y, event.time);
        m_remaining = 0;
        m_resting = false;
        return true;
    }
    m_tracker.move(event.x, event.y, event.time);
    m_finger_down = false;
    double v = 0;
    if (m_wrap || (over_top() <= 0 && over_bottom() <= 0))
        v = std::clamp(m_tracker.velocity_y() / m_element_size, -2000.0, 2000.0);
    if (event.cancelled)
        v = 0;
    m_direction = v > 0 ? 1 : (v < 0 ? -1 : 0);
    m_remaining = std::fabs(v) / (deceleration / 2);
    m_target = m_position + m_direction * (deceleration / 2) * m_remaining * m_remaining;
    double rest = std::floor(m_target + 0.5);
    if (!m_wrap)
        rest = std::clamp(rest, 0.0, std::max(0.0, m_count - 1.0));
    set_rest(rest);
    if (m_provider)
        m_provider->released(*this);
    mark_redraw();
    return true;
}

void SpinnerElement::pointer_moved(const PointerEvent& event)
{
    if (!m_finger_down)
        return;
    double dy = event.y - m_finger.y;
    m_finger = { event.x, event.y };
    m_tracker.move(event.x, event.y, event.time);
    drag_by(dy);
}

void SpinnerElement::tick(double seconds)
{
    Element::tick(seconds);
    if (m_remaining != 0) {
        m_remaining = std::max(0.0, m_remaining - seconds);
        m_last_turns = 0;
        set_position(m_target - m_direction * (deceleration / 2) * m_remaining * m_remaining);
        report_drag(m_last_turns);
        // A drum without wrap stops coasting at its end and glides back onto its last value.
        if (!m_wrap && (m_position < 0 || m_position > m_count - 1))
            m_remaining = 0;
        return;
    }
    if (m_resting && !m_finger_down && m_position != m_rest) {
        // Glide at a speed that eases off over the last value, ending exactly on the rest.
        double distance = m_rest - m_position;
        double step
            = std::max(glide_speed * seconds, std::fabs(distance) * std::min(1.0, 8 * seconds));
        m_last_turns = 0;
        set_position(
            std::fabs(distance) <= step ? m_rest : m_position + (distance > 0 ? step : -step));
        report_drag(m_last_turns);
    }
}

void SpinnerElement::draw(RenderSurface& surface, Point origin)
{
    paint_children(surface, origin);
    if (m_count <= 0)
        return;
    Rect saved = surface.push_clip(origin, size());
    double centre = height() / 2.0;
    double half = centre / m_element_size + 1;
    auto first = static_cast<std::int32_t>(std::floor(m_position - half));
    auto last = static_cast<std::int32_t>(std::ceil(m_position + half));
    for (std::int32_t i = first; i <= last; ++i) {
        std::int32_t index = i;
        if (m_wrap)
            index = ((i % m_count) + m_count) % m_count;
        else if (i < 0 || i >= m_count)
            continue;
        auto& kept = m_items[index];
        if (!kept) {
            if (m_provider)
                kept = m_provider->create_item(*this, index);
            if (!kept)
                kept = std::make_unique<Element>();
        }
        Element& element = *kept;
        element.set_visible(true);
        auto top = static_cast<std::int32_t>(
            std::floor(y() + centre + (i - m_position) * m_element_size - m_element_size / 2.0));
        element.set_x(x(), width());
        element.set_y(top, m_element_size);
        element.paint(surface, { origin.x, origin.y + top - y() });
    }
    surface.pop_clip(saved);
}

} // namespace corvane
