#pragma once

#include "device/screens/forms/Form.h"

namespace corvane {

class TextElement;

// A form for a message or a question: optional "caption" and "text" and the optional buttons
// "btnOk" and "btnCancel". A press closes the form (animated) before the listener hears of it.
// Any node will do, since every child is optional. Main thread.
class MessageForm final : public Form {
public:
    MessageForm(Properties& properties, WString node, FormListener* listener = nullptr);

    // Texts set by the owner stay across skin reloads; an empty one keeps the skin's.
    void set_caption(WStringView caption);
    void set_text(WStringView text);
    const WString& caption_override() const { return m_caption; }
    const WString& text_override() const { return m_text; }

    ButtonElement* ok_button() const { return m_ok; }
    ButtonElement* cancel_button() const { return m_cancel; }
    bool is_ok(const ButtonElement& button) const { return &button == m_ok; }

private:
    void bind_nodes() override;
    void on_button(ButtonElement& button) override;
    void apply_texts();

    WString m_caption;
    WString m_text;
    ButtonElement* m_ok { nullptr }; // Not owned: our elements.
    ButtonElement* m_cancel { nullptr };
    Element* m_caption_node { nullptr };
    Element* m_text_node { nullptr };
};

} // namespace corvane
