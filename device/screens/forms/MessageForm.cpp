#include "device/screens/forms/MessageForm.h"

namespace corvane {

MessageForm::MessageForm(Properties& properties, WString node, FormListener* listener)
    : Form(properties, std::move(node))
{
    set_listener(listener);
    build();
}

void MessageForm::set_caption(WStringView caption)
{
    m_caption = WString(caption);
    apply_texts();
}

void MessageForm::set_text(WStringView text)
{
    m_text = WString(text);
    apply_texts();
}

void MessageForm::bind_nodes()
{
    m_ok = optional_button(u"btnOk");
    m_cancel = optional_button(u"btnCancel");
    m_caption_node = find_descendant(u"caption");
    m_text_node = find_descendant(u"text");
    apply_texts();
}

void MessageForm::apply_texts()
{
    if (!m_caption.empty())
        set_element_text(m_caption_node, m_caption);
    if (!m_text.empty())
        set_element_text(m_text_node, m_text);
}

void MessageForm::on_button(ButtonElement& button)
{
    close(true);
    Form::on_button(button);
}

} // namespace corvane
