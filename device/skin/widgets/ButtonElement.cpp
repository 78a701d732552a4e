#include "device/skin/widgets/ButtonElement.h"

#include "device/core/KeyCode.h"
#include "device/skin/skin/Properties.h"
#include "device/skin/widgets/TextElement.h"

namespace corvane {

void ButtonElement::load(Properties& properties, const Node& node)
{
    Element::load(properties, node);
    m_normal = find_descendant(u"#normal");
    m_pressed = find_descendant(u"#pressed");
    m_disabled = find_descendant(u"#disabled");
    for (Element* state : { m_normal, m_pressed, m_disabled }) {
        if (state)
            state->set_geometry_observer(nullptr);
    }
    const WString& key = properties.get_string(node, u"bind_key", Properties::empty_string());
    m_bind_key = 0;
    if (auto code = key_from_name(to_utf8(key)))
        m_bind_key = static_cast<std::int32_t>(*code);
    // An empty button text leaves whatever the skin put into "#text" itself.
    m_text = translate_skin_text(
        properties, properties.get_string(node, u"text", Properties::empty_string()));
    if (!m_text.empty())
        set_text(m_text);
    update_state_images();
}

void ButtonElement::set_text(WStringView text)
{
    m_text = WString(text);
    assign_text(u"#text", m_text);
}

void ButtonElement::update_state_images()
{
    Element* chosen = m_normal;
    if (!is_active())
        chosen = m_disabled;
    else if (is_pressed())
        chosen = m_pressed;
    if (!chosen)
        chosen = m_normal;
    for (Element* state : { m_normal, m_pressed, m_disabled }) {
        if (state && state != chosen)
            state->set_visible(false);
    }
    if (chosen)
        chosen->set_visible(true);
}

void ButtonElement::tick(double seconds)
{
    // Enabling or disabling an ancestor tells no one, so the images follow it here.
    update_state_images();
    Element::tick(seconds);
}

void ButtonElement::finish_state_change(
    bool was_pressed, Point point, bool cancelled, bool check_on_button)
{
    cancelled = cancelled || !is_active();
    bool now_pressed = is_pressed();
    if (was_pressed != now_pressed) {
        if (m_handler)
            m_handler->pressed_changed(*this, point, cancelled);
        update_state_images();
    }
    if (was_pressed && !now_pressed && !cancelled && (!check_on_button || hit_test(point))) {
        if (m_handler)
            m_handler->clicked(*this, point, 1);
    }
}

bool ButtonElement::pointer_event(const PointerEvent& event)
{
    bool was_pressed = is_pressed();
    Point point { event.x, event.y };
    m_pointer_pressed = event.pressed && !event.cancelled;
    m_last_point = point;
    if (m_pointer_pressed && m_handler) {
        ButtonDrag drag { point };
        m_handler->dragged(*this, drag);
    }
    finish_state_change(was_pressed, point, event.cancelled, true);
    return true;
}

void ButtonElement::pointer_moved(const PointerEvent& event)
{
    Element::pointer_moved(event);
    if (!m_pointer_pressed || !m_handler)
        return;
    ButtonDrag drag { { event.x, event.y }, event.x - m_last_point.x, event.y - m_last_point.y };
    m_handler->dragged(*this, drag);
    m_last_point.x += drag.consumed_x;
    m_last_point.y += drag.consumed_y;
}

void ButtonElement::pointer_capture_lost()
{
    if (!m_pointer_pressed)
        return;
    m_pointer_pressed = false;
    update_state_images();
}

bool ButtonElement::key_event(const KeyEvent& event)
{
    if (m_bind_key == 0 || event.code != m_bind_key)
        return Element::key_event(event);
    bool was_pressed = is_pressed();
    m_key_pressed = event.pressed;
    finish_state_change(was_pressed, { x() + width() / 2, y() + height() / 2 }, false, false);
    return true;
}

} // namespace corvane
