#pragma once

#include "device/skin/widgets/ButtonElement.h"
#include "device/skin/widgets/EditElement.h"

namespace corvane {

// "label_edit": an edit ("#edit") with a label ("#text") that shows while the edit is empty and
// an optional "clear" button that shows while it is not. Main thread.
class LabelEditElement : public Element, private EditListener, private ButtonHandler {
public:
    // Throws NodeNotFound when "#edit" or "#text" is missing.
    void load(Properties& properties, const Node& node) override;

    EditElement& edit() const { return *m_edit; }
    const WString& label() const { return m_label; }
    // Told of the edit's changes after the element itself (not owned).
    void set_listener(EditListener* listener) { m_listener = listener; }

private:
    void text_changed(EditElement& edit) override;
    void key_pressed(EditElement& edit, const KeyEvent& event) override;
    void clicked(ButtonElement& button, Point point, std::int32_t flag) override;
    void update_visibility();

    WString m_label;
    EditElement* m_edit { nullptr }; // Not owned: descendants.
    TextElement* m_text { nullptr };
    ButtonElement* m_clear { nullptr };
    EditListener* m_listener { nullptr };
};

} // namespace corvane
