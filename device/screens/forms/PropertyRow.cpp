#include "device/screens/forms/PropertyRow.h"

#include "device/screens/forms/Form.h"
#include "device/skin/widgets/MultiNodeElement.h"
#include "device/skin/widgets/TextElement.h"

#include <algorithm>

namespace corvane {

void PropertyRow::bind(ButtonElement& button, bool show_more, bool show_check, std::int32_t style)
{
    m_button = &button;
    m_value = Form::optional_in<TextElement>(button, u"#value_text");
    m_more[0] = &Form::require_in<Element>(button, u"more_n");
    m_more[1] = find_descendant(button, u"more_p");
    m_check[0] = &Form::require_in<Element>(button, u"check_n");
    m_check[1] = find_descendant(button, u"check_p");
    m_back[0] = &Form::require_in<Element>(button, u"back_d");
    m_back[1] = &Form::require_in<Element>(button, u"back_n");
    m_back[2] = find_descendant(button, u"back_p");
    m_icon_places[0] = find_descendant(button, u"icon_place_d");
    m_icon_places[1] = find_descendant(button, u"icon_place_n");
    m_icon_places[2] = find_descendant(button, u"icon_place_p");
    set_more(show_more);
    set_check(show_check);
    set_style(style);
    set_icon_places(false);
}

void PropertyRow::set_caption(WStringView caption)
{
    if (m_button && m_button->text() != caption)
        m_button->set_text(caption);
}

void PropertyRow::set_value(WStringView value)
{
    if (m_value && m_value->text() != value)
        m_value->set_text(value);
}

WString PropertyRow::value() const
{
    return m_value ? m_value->text() : WString();
}

void PropertyRow::set_more(bool shown)
{
    for (Element* element : m_more)
        show_element(element, shown);
}

void PropertyRow::set_check(bool shown)
{
    for (Element* element : m_check)
        show_element(element, shown);
}

void PropertyRow::set_style(std::int32_t style)
{
    style = std::clamp(style, 0, 3);
    for (Element* element : m_back) {
        auto* states = dynamic_cast<MultiNodeElement*>(element);
        if (states && states->child_count() > 0)
            states->set_current(
                std::min<std::size_t>(static_cast<std::size_t>(style), states->child_count() - 1));
    }
}

void PropertyRow::set_enabled(bool enabled)
{
    if (m_button && m_button->is_enabled() != enabled)
        m_button->set_enabled(enabled);
}

void PropertyRow::set_icon_places(bool shown)
{
    for (Element* element : m_icon_places)
        show_element(element, shown);
}

std::int32_t PropertyRow::style_for(std::size_t row, std::size_t count)
{
    if (count <= 1)
        return Alone;
    if (row == 0)
        return First;
    return row + 1 >= count ? Last : Middle;
}

} // namespace corvane
