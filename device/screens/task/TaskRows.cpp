#include "device/screens/task/TaskRows.h"

#include "device/screens/forms/Form.h"
#include "device/screens/task/TaskScreen.h"
#include "device/skin/skin/Properties.h"
#include "device/skin/widgets/MultiNodeElement.h"

namespace corvane {

namespace {

    ButtonElement& row_button(Element& root, WStringView id, ButtonHandler& handler)
    {
        auto& button = Form::require_in<ButtonElement>(root, id);
        button.set_handler(&handler);
        return button;
    }

} // namespace

TaskPropertiesItem::TaskPropertiesItem(TaskScreen& screen)
    : m_screen(screen)
{
    build_from_node_or_throw(*this, screen.properties(), u"TaskPropertiesElement");
    set_id(u"TaskPropertiesElement");
    struct Binding {
        PropertyRow* row;
        const char16_t* id;
        std::int32_t style;
    };
    const Binding bindings[] = {
        { &name, u"name", PropertyRow::First },
        { &comp, u"comp", PropertyRow::Middle },
        { &responsible, u"responsible", PropertyRow::Middle },
        { &status, u"status", PropertyRow::Middle },
        { &tag, u"tag", PropertyRow::Middle },
        { &progress, u"progress", PropertyRow::Middle },
        { &deadline, u"deadline", PropertyRow::Middle },
        { &comment, u"comment", PropertyRow::Middle },
    };
    for (const Binding& binding : bindings)
        binding.row->bind(row_button(*this, binding.id, *this), true, false, binding.style);
    complete = &Form::require_in<MultiNodeElement>(*this, u"complete");
    del = &row_button(*this, u"del", *this);
    share = &row_button(*this, u"share", *this);
    off_new_task = &Form::require_in<Element>(*this, u"off_new_task");
    for (std::size_t i = 0; i < status_marks.size(); ++i)
        status_marks[i] = &Form::require_in<Element>(
            *status.button(), WString(1, static_cast<char16_t>(u'0' + i)));
}

void TaskPropertiesItem::bind(std::int32_t)
{
    m_screen.draw_properties(*this);
}

void TaskPropertiesItem::clicked(ButtonElement& button, Point, std::int32_t)
{
    const std::pair<const PropertyRow*, Press> rows[] = {
        { &name, Press::Name },
        { &comp, Press::Comp },
        { &responsible, Press::Responsible },
        { &status, Press::Status },
        { &tag, Press::Tag },
        { &progress, Press::Progress },
        { &deadline, Press::Deadline },
        { &comment, Press::Comment },
    };
    for (const auto& [row, press] : rows) {
        if (row->button() == &button)
            return m_screen.property_pressed(press);
    }
    if (&button == del)
        m_screen.property_pressed(Press::Del);
    else if (&button == share)
        m_screen.property_pressed(Press::Share);
}

TaskChatItem::TaskChatItem(TaskScreen& screen)
    : m_screen(screen)
{
    build_from_node_or_throw(*this, screen.properties(), u"TaskChatElement");
    set_id(u"TaskChatElement");
    time = &Form::require_in<Element>(*this, u"time");
    user = &Form::require_in<Element>(*this, u"user");
    description = &Form::require_in<Element>(*this, u"description");
    name = &Form::require_in<Element>(*this, u"name");
    responsible = &Form::require_in<Element>(*this, u"responsible");
    status = &Form::require_in<Element>(*this, u"status");
    progress = &Form::require_in<Element>(*this, u"progress");
    complete = &Form::require_in<Element>(*this, u"complete");
    deadline = &Form::require_in<Element>(*this, u"deadline");
    share = &Form::require_in<Element>(*this, u"share");
    unshare = &Form::require_in<Element>(*this, u"unshare");
    status_check = &Form::require_in<MultiNodeElement>(*this, u"status_check");
    complete_check = &Form::require_in<MultiNodeElement>(*this, u"complete_check");
}

void TaskChatItem::bind(std::int32_t index)
{
    m_screen.draw_chat(*this, index);
}

TaskMoreItem::TaskMoreItem(TaskScreen& screen)
    : m_screen(screen)
{
    build_from_node_or_throw(*this, screen.properties(), u"TaskMoreElement");
    set_id(u"TaskMoreElement");
    more = &row_button(*this, u"more", *this);
    wait = &Form::require_in<Element>(*this, u"wait");
    show_element(more, false);
    show_element(wait, false);
}

void TaskMoreItem::bind(std::int32_t)
{
    m_screen.draw_more(*this);
}

void TaskMoreItem::clicked(ButtonElement& button, Point, std::int32_t)
{
    if (&button == more)
        m_screen.more_pressed();
}

} // namespace corvane
