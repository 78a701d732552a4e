#include "device/screens/forms/Form.h"

#include "device/shell/Application.h"
#include "device/skin/lang/LanguageFile.h"
#include "device/skin/skin/Properties.h"
#include "device/skin/widgets/EditElement.h"
#include "device/skin/widgets/TextElement.h"

namespace corvane {

Form::Form(Properties& properties, WString node)
    : m_properties(properties)
    , m_node(std::move(node))
{
}

Form::~Form()
{
    if (m_listening)
        m_properties.remove_reload_listener(*this);
    if (Application* application = Application::instance();
        application && application->is_on_stack(*this))
        application->close_screen(*this, false);
}

void Form::build()
{
    // A second build (a derived form binding more, or a reload) replaces the tree.
    release_tree();
    build_from_node_or_throw(*this, m_properties, m_node);
    set_id(m_node);
    bind_nodes();
    if (!m_listening) {
        m_properties.add_reload_listener(*this);
        m_listening = true;
    }
}

void Form::reload_skin(Properties&)
{
    release_tree();
    build();
    refresh_after_reload();
    relayout_root();
    mark_redraw();
}

void Form::show(bool overlay, bool animate)
{
    if (Application* application = Application::instance())
        application->show_screen(*this, overlay, animate);
}

bool Form::close(bool animate)
{
    Application* application = Application::instance();
    return application && application->close_screen(*this, animate);
}

bool Form::is_open() const
{
    Application* application = Application::instance();
    return application && application->is_on_stack(*this);
}

WString Form::text(WStringView key) const
{
    return translate(m_properties, key);
}

void Form::on_button(ButtonElement& button)
{
    if (m_listener)
        m_listener->form_button(*this, button);
}

void Form::clicked(ButtonElement& button, Point, std::int32_t)
{
    on_button(button);
}

ButtonElement& Form::require_button(WStringView id)
{
    ButtonElement& button = require<ButtonElement>(id);
    button.set_handler(this);
    return button;
}

ButtonElement* Form::optional_button(WStringView id)
{
    ButtonElement* button = optional<ButtonElement>(id);
    if (button)
        button->set_handler(this);
    return button;
}

void set_element_text(Element* element, WStringView text)
{
    if (auto* button = dynamic_cast<ButtonElement*>(element))
        button->set_text(text);
    else if (auto* shown = dynamic_cast<TextElement*>(element))
        shown->set_text(text);
}

WString element_text(const Element* element)
{
    if (auto* edit = dynamic_cast<const EditElement*>(element))
        return edit->value();
    if (auto* button = dynamic_cast<const ButtonElement*>(element))
        return button->text();
    if (auto* shown = dynamic_cast<const TextElement*>(element))
        return shown->text();
    return {};
}

WString replace_placeholder(WStringView text, WStringView placeholder, WStringView value)
{
    WString out;
    std::size_t from = 0;
    while (!placeholder.empty()) {
        std::size_t at = text.find(placeholder, from);
        if (at == WStringView::npos)
            break;
        out.append(text.substr(from, at - from));
        out.append(value);
        from = at + placeholder.size();
    }
    out.append(text.substr(from));
    return out;
}

} // namespace corvane
