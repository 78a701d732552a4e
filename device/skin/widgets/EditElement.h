#pragma once

#include "device/platform/TextInput.h"
#include "device/skin/widgets/TextElement.h"

namespace corvane {

class EditElement;

// Implemented by screens; not owned by the edit.
class EditListener {
public:
    virtual ~EditListener() = default;
    virtual void text_changed(EditElement& edit) = 0;
    virtual void key_pressed(EditElement& edit, const KeyEvent& event) { (void)edit, (void)event; }
};

// "edit": a text element the user types into. A press makes it the application's current edit;
// while it is current, typed characters, the editing keys and Ctrl+V change its text, and a
// caret marks the insertion point. In password mode it shows one "*" per character. Main thread.
class EditElement : public TextElement {
public:
    ~EditElement() override;
    void load(Properties& properties, const Node& node) override;
    void set_text(WStringView text) override;
    void draw(RenderSurface& surface, Point origin) override;
    bool pointer_event(const PointerEvent& event) override;
    bool key_event(const KeyEvent& event) override;
    bool char_event(WStringView text) override;
    void visibility_changed(bool shown) override;

    // The real text (not the mask).
    const WString& value() const { return m_input.text(); }
    bool is_password() const { return m_password; }
    void set_password(bool on);
    void set_listener(EditListener* listener) { m_listener = listener; }
    Color background_color() const { return m_background; }
    bool is_multi_line() const { return wraps(); }
    std::size_t caret() const { return m_input.caret(); }
    // How far a single line wider than the edit is shifted left so the caret stays in sight.
    std::int32_t scroll_x() const { return m_scroll_x; }

    bool is_current() const;
    // Makes this edit the one being edited, or stops editing it.
    void begin_editing();
    void end_editing();

private:
    void apply_input();
    bool paste();
    void draw_scrolled_line(RenderSurface& surface, Point origin);
    enum class Direction { Forward, Backward };
    // Hands editing to the next or previous shown edit of the same screen, in tree order.
    void move_focus(Direction direction);

    Color m_background { 0, 0, 0, 255 };
    bool m_password { false };
    bool m_ctrl_down { false };
    bool m_shift_down { false };
    std::int32_t m_scroll_x { 0 };
    TextInput m_input;
    EditListener* m_listener { nullptr };
};

} // namespace corvane
