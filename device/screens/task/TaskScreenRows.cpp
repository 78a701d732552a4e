// The task screen's list: its rows, what they show and what their presses do.
#include "device/model/engine/Engine.h"
#include "device/screens/Document.h"
#include "device/screens/forms/MessageForm.h"
#include "device/screens/task/DeadlineScreen.h"
#include "device/screens/task/ProgressScreen.h"
#include "device/screens/task/StatusList.h"
#include "device/screens/task/TagScreen.h"
#include "device/screens/task/TaskRules.h"
#include "device/screens/task/TaskScreen.h"
#include "device/screens/task/TaskTitle.h"
#include "device/screens/task/TitleEditor.h"
#include "device/skin/widgets/MultiNodeElement.h"

#include <algorithm>

namespace corvane {

namespace {

    void set_check(MultiNodeElement* check, std::int32_t state)
    {
        if (check && check->child_count() > 0)
            check->set_current(std::min<std::size_t>(
                static_cast<std::size_t>(std::max(state, 0)), check->child_count() - 1));
    }

    void show_text(Element* element, bool shown, WStringView text)
    {
        if (shown)
            set_element_text(element, text);
        show_element(element, shown);
    }

    // The "more" arrow of a property row, for its enabled look.
    void enable_arrow(const PropertyRow& row, bool enabled)
    {
        if (!row.button())
            return;
        for (const char16_t* id : { u"more_n", u"more_p" }) {
            Element* arrow = find_descendant(*row.button(), id);
            if (arrow && arrow->is_enabled() != enabled)
                arrow->set_enabled(enabled);
        }
    }

} // namespace

std::unique_ptr<Element> TaskScreen::create_item(VListElement& list, std::int32_t index)
{
    // The list binds each item, which draws it.
    if (index == 0)
        return std::make_unique<TaskPropertiesItem>(*this);
    if (index == list.count() - 1)
        return std::make_unique<TaskMoreItem>(*this);
    return std::make_unique<TaskChatItem>(*this);
}

void TaskScreen::activated(VListElement&, std::int32_t)
{
    // Rows act through their own buttons.
}

void TaskScreen::draw_properties(TaskPropertiesItem& item)
{
    const Task& task = m_edited;
    Engine& engine = m_document.engine();
    WString title = task_title(task.title);
    item.name.set_caption(title.empty() ? text(u"TaskTitleLabel") : WString());
    item.name.set_value(title);

    show_element(item.tag.button(), task.parentId == 0);
    item.tag.set_value(task.tag);

    item.responsible.set_value(m_document.user_name(task.responsibleId));
    const Task* project = engine.find_task(project_id());
    enable_arrow(item.responsible, project && project->permissions.size() > 1);

    item.progress.set_value(progress_text(m_snapshot.done, task.done, task.plan));
    item.deadline.set_value(
        task.deadline == 0 ? text(u"NoDeadLine") : m_document.relative_date(task.deadline, false));

    item.comment.set_caption(m_comment.empty() ? text(u"TaskCommentLabel") : WString());
    item.comment.set_value(m_comment);
    item.comment.set_style(is_new() ? PropertyRow::Last : PropertyRow::Middle);

    for (std::size_t i = 0; i < item.status_marks.size(); ++i)
        show_element(item.status_marks[i], static_cast<std::int32_t>(i) == task.status);

    set_check(item.complete, task.complete ? 1 : 0);
    if (item.complete->is_enabled() != task.editable)
        item.complete->set_enabled(task.editable);
    item.comp.set_enabled(task.editable);

    show_element(item.del, !is_new() && task.ownerId == engine.auth().userId);
    show_element(item.share, !is_new());
    show_element(item.off_new_task, !is_new());
    bool enabled = is_new() || !in_flight();
    if (item.is_enabled() != enabled)
        item.set_enabled(enabled);
    item.invalidate_measures();
    item.mark_redraw();
}

void TaskScreen::draw_chat(TaskChatItem& item, std::int32_t index)
{
    if (index < 1 || static_cast<std::size_t>(index) > m_changes.size())
        return;
    const Change& change = m_changes[static_cast<std::size_t>(index) - 1];
    ChatRowShape shape = chat_row_shape(change);
    set_element_text(item.time, m_document.relative_date(change.time, true));
    set_element_text(item.user, m_document.user_name(change.authorId));
    show_text(item.description, shape.description, change.text);
    show_text(item.name, shape.name, task_title(change.title));
    show_text(item.responsible, shape.responsible,
        shape.responsible ? m_document.user_name(change.responsibleId) : WString());
    show_element(item.status, shape.status);
    show_element(item.status_check, shape.status);
    set_check(item.status_check, shape.status_state);
    show_text(item.progress, shape.progress, shape.progress_text);
    show_element(item.complete, shape.complete);
    show_element(item.complete_check, shape.complete);
    set_check(item.complete_check, shape.complete_state);
    show_text(item.deadline, shape.deadline,
        shape.deadline ? m_document.relative_date(change.deadline, false) : WString());
    WString user = shape.share || shape.unshare ? m_document.user_name(change.userId) : WString();
    show_text(item.share, shape.share, user);
    show_text(item.unshare, shape.unshare, user);
    item.invalidate_measures();
    item.mark_redraw();
}

void TaskScreen::draw_more(TaskMoreItem& item)
{
    const Engine& engine = m_document.engine();
    const Task* record = is_new() ? nullptr : engine.find_task(m_snapshot.id);
    bool fetching = record && engine.changes_pending(record->id);
    bool more = record && record->moreChanges && !fetching;
    if (more)
        item.more->set_text(
            replace_placeholder(text(u"MoreChat"), u"%count%", to_wstring(chat_page_size)));
    show_element(item.more, more);
    show_element(item.wait, fetching);
    item.invalidate_measures();
    item.mark_redraw();
}

void TaskScreen::more_pressed()
{
    if (is_new())
        return;
    m_document.engine().more_changes(m_snapshot.id);
    redraw_row(m_list->count() - 1);
}

void TaskScreen::property_pressed(TaskPropertiesItem::Press press)
{
    using Press = TaskPropertiesItem::Press;
    switch (press) {
    case Press::Name:
        m_title_editor->open(m_edited.title);
        break;
    case Press::Comp:
        if (!m_edited.editable)
            break;
        m_edited.complete = !m_edited.complete;
        refresh();
        break;
    case Press::Responsible:
        m_users->open(project_id(), m_edited.responsibleId, SharingScreen::ChooseResponsible, this);
        break;
    case Press::Status:
        m_status_list->open(m_edited.status);
        break;
    case Press::Comment:
        m_comment_editor->open(m_comment);
        break;
    case Press::Tag:
        m_tag_screen->open(m_edited.tag, m_document.engine().tags());
        break;
    case Press::Progress:
        m_progress->open(m_snapshot.done, m_snapshot.plan, m_edited.done, m_edited.plan);
        break;
    case Press::Deadline:
        m_deadline->open(m_edited.deadline, time_now());
        break;
    case Press::Del:
        if (is_new())
            break;
        m_remove_form->set_text(
            replace_placeholder(text(u"RemoveTaskConfirm"), u"%name%", task_title(m_edited.title)));
        m_remove_form->show(true, true);
        break;
    case Press::Share:
        if (!is_new())
            m_document.sharing_screen().open(project_id(), -1, SharingScreen::Share, nullptr);
        break;
    }
}

} // namespace corvane
