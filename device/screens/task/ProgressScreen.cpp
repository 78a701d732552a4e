#include "device/screens/task/ProgressScreen.h"

#include "device/screens/task/TaskEditorListener.h"

namespace corvane {

namespace {

    // The selected field keeps its pressed look; a field that is not a button shows its
    // optional child "selected" instead.
    void show_selected(Element* field, bool selected)
    {
        if (auto* button = dynamic_cast<ButtonElement*>(field)) {
            button->set_other_pressed(selected);
            button->update_state_images();
            button->mark_redraw();
        } else if (field) {
            show_element(find_descendant(*field, u"selected"), selected);
        }
    }

} // namespace

ProgressScreen::ProgressScreen(Properties& properties, TaskEditorListener& listener)
    : Form(properties, u"Progress")
    , m_listener(listener)
{
    build();
}

void ProgressScreen::bind_nodes()
{
    for (std::size_t digit = 0; digit < m_digits.size(); ++digit)
        m_digits[digit] = &require_button(WString(1, static_cast<char16_t>(u'0' + digit)));
    m_backspace = &require_button(u"backspace");
    m_back = &require_button(u"back");
    m_save = &require_button(u"save");
    m_done = &require<Element>(u"done");
    m_plan = &require<Element>(u"plan");
    for (Element* field : { m_done, m_plan }) {
        if (auto* button = dynamic_cast<ButtonElement*>(field))
            button->set_handler(this);
    }
}

void ProgressScreen::open(
    std::int32_t done, std::int32_t plan, std::int32_t edited_done, std::int32_t edited_plan)
{
    m_input.open(done, plan, edited_done != done || edited_plan != plan);
    show_input();
    show(false, true);
}

bool ProgressScreen::is_save_shown() const
{
    return m_save && m_save->is_visible();
}

void ProgressScreen::show_input()
{
    set_element_text(m_done, m_input.text(ProgressInput::Field::Done));
    set_element_text(m_plan, m_input.text(ProgressInput::Field::Plan));
    show_selected(m_done, m_input.selected() == ProgressInput::Field::Done);
    show_selected(m_plan, m_input.selected() == ProgressInput::Field::Plan);
    show_element(m_save, m_input.offers_save());
}

void ProgressScreen::dragged(ButtonElement& button, ButtonDrag&)
{
    if (&button == m_done || &button == m_plan)
        select_field(button);
}

void ProgressScreen::select_field(ButtonElement& button)
{
    m_input.select(&button == m_done ? ProgressInput::Field::Done : ProgressInput::Field::Plan);
    show_input();
}

void ProgressScreen::on_button(ButtonElement& button)
{
    if (&button == m_back) {
        close(true);
        return;
    }
    if (&button == m_save) {
        close(true);
        m_listener.progress_saved(
            m_input.number(ProgressInput::Field::Done), m_input.number(ProgressInput::Field::Plan));
        return;
    }
    if (&button == m_done || &button == m_plan)
        return select_field(button);
    if (&button == m_backspace)
        m_input.backspace();
    for (std::size_t digit = 0; digit < m_digits.size(); ++digit) {
        if (&button == m_digits[digit])
            m_input.press_digit(static_cast<char16_t>(u'0' + digit));
    }
    show_input();
}

} // namespace corvane
