#pragma once

#include "device/skin/skin/Element.h"

#include <cstdint>

namespace corvane {

class ButtonElement;

// A pointer movement over a pressed button. The handler sets `consumed_*` to the part it used
// (a slider that moves with the finger); the button's recorded point advances by that much.
struct ButtonDrag {
    Point point;
    std::int32_t dx { 0 };
    std::int32_t dy { 0 };
    std::int32_t consumed_x { 0 };
    std::int32_t consumed_y { 0 };
};

// Implemented by screens. Not owned by the buttons; it must outlive them or be cleared.
class ButtonHandler {
public:
    virtual ~ButtonHandler() = default;
    virtual void clicked(ButtonElement& button, Point point, std::int32_t flag) = 0;
    virtual void pressed_changed(ButtonElement& button, Point point, bool cancelled)
    {
        (void)button, (void)point, (void)cancelled;
    }
    virtual void dragged(ButtonElement& button, ButtonDrag& drag) { (void)button, (void)drag; }
};

// "button": shows "#normal", "#pressed" or "#disabled" after its state, reports clicks from
// the pointer and from its bound key. Main thread.
class ButtonElement : public Element {
public:
    void load(Properties& properties, const Node& node) override;
    void tick(double seconds) override;
    void pointer_moved(const PointerEvent& event) override;
    bool pointer_event(const PointerEvent& event) override;
    void pointer_capture_lost() override;
    bool key_event(const KeyEvent& event) override;

    void set_handler(ButtonHandler* handler) { m_handler = handler; }
    ButtonHandler* handler() const { return m_handler; }
    std::int32_t bound_key() const { return m_bind_key; }
    const WString& text() const { return m_text; }
    void set_text(WStringView text);
    bool is_pressed() const { return m_pointer_pressed || m_key_pressed || m_other_pressed; }
    // Shows the state image that fits enabled, pressed and usable now.
    void update_state_images();

    // Holds the pressed look for kinds and screens that press the button by other means (a
    // keypad's selected field).
    void set_other_pressed(bool pressed) { m_other_pressed = pressed; }

protected:
    // Reports the change of pressed state and the click, as a release or key up does.
    void finish_state_change(bool was_pressed, Point point, bool cancelled, bool check_on_button);

private:
    Element* m_normal { nullptr }; // Not owned: descendants.
    Element* m_pressed { nullptr };
    Element* m_disabled { nullptr };
    std::int32_t m_bind_key { 0 };
    WString m_text;
    ButtonHandler* m_handler { nullptr }; // Not owned.
    bool m_pointer_pressed { false };
    bool m_key_pressed { false };
    bool m_other_pressed { false };
    Point m_last_point;
};

} // namespace corvane
