#include "device/screens/task/DeadlineScreen.h"

#include "device/screens/task/TaskEditorListener.h"
#include "device/screens/task/TaskRules.h"

namespace corvane {

DeadlineScreen::DeadlineScreen(Properties& properties, TaskEditorListener& listener)
    : Form(properties, u"Deadline")
    , m_listener(listener)
{
    m_picker.set_listener(this);
    build();
}

DeadlineScreen::~DeadlineScreen()
{
    m_picker.set_listener(nullptr);
}

void DeadlineScreen::bind_nodes()
{
    m_back = &require_button(u"back");
    m_save = &require_button(u"save");
    m_remove = &require_button(u"remove");
    // The drums are new elements after every build; the picker takes them over.
    m_picker.bind(require<Element>(u"date"), properties(), u"SpinnerElementDate", m_shown);
}

void DeadlineScreen::refresh_after_reload()
{
    show_element(m_save, m_save_shown);
    show_element(m_remove, m_opening != 0);
}

void DeadlineScreen::open(std::int64_t deadline, TimeValue today)
{
    m_opening = deadline;
    m_shown = deadline_day(deadline, today);
    m_picker.set_time(m_shown);
    m_save_shown = true;
    show_element(m_save, true);
    show_element(m_remove, deadline != 0);
    show(false, true);
}

std::int64_t DeadlineScreen::picked_deadline() const
{
    return deadline_millis(m_picker.picked_time());
}

bool DeadlineScreen::is_save_shown() const
{
    return m_save && m_save->is_visible();
}

bool DeadlineScreen::is_remove_shown() const
{
    return m_remove && m_remove->is_visible();
}

void DeadlineScreen::changed(DateTimePicker& picker, std::int32_t)
{
    m_shown = picker.picked_time();
    m_save_shown = picked_deadline() != m_opening;
    show_element(m_save, m_save_shown);
}

void DeadlineScreen::on_button(ButtonElement& button)
{
    if (&button == m_back) {
        close(true);
    } else if (&button == m_remove) {
        close(true);
        m_listener.deadline_chosen(0);
    } else if (&button == m_save) {
        std::int64_t picked = picked_deadline();
        close(true);
        m_listener.deadline_chosen(picked);
    }
}

} // namespace corvane
