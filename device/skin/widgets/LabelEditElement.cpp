#include "device/skin/widgets/LabelEditElement.h"

#include "device/skin/skin/Properties.h"
#include "device/skin/skin/SkinErrors.h"

namespace corvane {

void LabelEditElement::load(Properties& properties, const Node& node)
{
    Element::load(properties, node);
    m_label = translate_skin_text(
        properties, properties.get_string(node, u"text", Properties::empty_string()));
    m_edit = dynamic_cast<EditElement*>(find_descendant(u"#edit"));
    if (!m_edit)
        throw NodeNotFound(id(), u"#edit");
    m_edit->set_listener(this);
    m_text = dynamic_cast<TextElement*>(find_descendant(u"#text"));
    if (!m_text)
        throw NodeNotFound(id(), u"#text");
    m_text->set_text(m_label);
    m_clear = dynamic_cast<ButtonElement*>(find_descendant(u"clear"));
    if (m_clear)
        m_clear->set_handler(this);
    update_visibility();
}

void LabelEditElement::update_visibility()
{
    bool empty = m_edit->value().empty();
    m_text->set_visible(empty);
    if (m_clear)
        m_clear->set_visible(!empty);
}

void LabelEditElement::text_changed(EditElement& edit)
{
    update_visibility();
    if (m_listener)
        m_listener->text_changed(edit);
}

void LabelEditElement::key_pressed(EditElement& edit, const KeyEvent& event)
{
    if (m_listener)
        m_listener->key_pressed(edit, event);
}

void LabelEditElement::clicked(ButtonElement&, Point, std::int32_t)
{
    m_edit->set_text(u"");
}

} // namespace corvane
