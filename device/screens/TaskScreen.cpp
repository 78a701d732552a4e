#include "device/screens/TaskScreen.h"

#include "device/model/engine/Engine.h"
#include "device/screens/AllTasksList.h"
#include "device/screens/DeadlineScreen.h"
#include "device/screens/Document.h"
#include "device/screens/MessageForm.h"
#include "device/screens/PathBar.h"
#include "device/screens/ProgressScreen.h"
#include "device/screens/StatusList.h"
#include "device/screens/TagScreen.h"
#include "device/screens/TaskRules.h"
#include "device/screens/TaskTitle.h"
#include "device/screens/TitleEditor.h"
#include "device/screens/TreeStack.h"
#include "device/skin/widgets/VListElement.h"

namespace corvane {

TaskScreen::TaskScreen(Document& document)
    : Form(document.properties(), u"Task")
    , m_document(document)
{
    m_snapshot.moreChanges = false;
    m_edited = m_snapshot;
    Properties& properties = document.properties();
    TaskEditorListener& editors = *this;
    m_title_editor = std::make_unique<TitleEditor>(properties, u"Title", editors);
    m_comment_editor = std::make_unique<TitleEditor>(properties, u"Comment", editors);
    m_progress = std::make_unique<ProgressScreen>(properties, editors);
    m_deadline = std::make_unique<DeadlineScreen>(properties, editors);
    m_status_list = std::make_unique<StatusList>(properties, editors);
    m_tag_screen = std::make_unique<TagScreen>(properties, editors);
    m_users = std::make_unique<SharingScreen>(document);
    m_remove_form = std::make_unique<MessageForm>(
        properties, u"FormMessageOkCancel", static_cast<FormListener*>(this));
    build();
}

TaskScreen::~TaskScreen()
{
    if (m_list)
        m_list->set_provider(nullptr);
}

void TaskScreen::bind_nodes()
{
    m_back = &require_button(u"back");
    m_cancel = &require_button(u"cancel");
    m_title = &require_button(u"title");
    m_save = &require_button(u"save");
    m_subtasks = &require_button(u"subtasks");
    m_create = &require_button(u"create");
    m_list = &require<VListElement>(u"list");
    m_wait = &require<Element>(u"wait");
    m_path = &require<Element>(u"path");
    m_list->set_provider(this);
}

void TaskScreen::refresh_after_reload()
{
    reset_rows();
    refresh();
}

bool TaskScreen::in_flight() const
{
    return !is_new() && m_document.engine().task_pending(m_snapshot.id);
}

bool TaskScreen::is_unchanged() const
{
    return corvane::is_unchanged(m_edited, m_snapshot, m_comment);
}

std::int32_t TaskScreen::project_id() const
{
    if (m_edited.parentId == 0)
        return m_edited.id; // a project is its own project
    return m_edited.projectId;
}

void TaskScreen::show_task(std::int32_t id)
{
    const Task* record = m_document.engine().find_task(id);
    if (!record)
        return; // nothing to show; the tree shows only records the engine has
    m_new_pending = false;
    m_snapshot = *record;
    m_edited = *record;
    m_changes = record->loadedChanges;
    m_comment.clear();
    reset_rows();
    if (wants_older_changes(*record))
        m_document.engine().more_changes(id);
    refresh();
    show(false, true);
}

void TaskScreen::new_record(std::int32_t parent_id)
{
    m_new_pending = true;
    m_snapshot = new_record_under(parent_id, m_document.engine().find_task(parent_id));
    m_edited = m_snapshot;
    m_changes.clear();
    m_comment.clear();
    reset_rows();
    refresh();
    show(false, true);
    m_title_editor->open(m_edited.title);
}

void TaskScreen::reset_rows()
{
    if (m_list)
        m_list->set_count(static_cast<std::int32_t>(m_changes.size()) + 2);
}

void TaskScreen::redraw_row(std::int32_t index)
{
    if (m_list && index >= 0 && index < m_list->count())
        m_list->rebuild_item(index);
}

void TaskScreen::refresh()
{
    redraw_row(0);
    update_buttons();
    if (is_new())
        m_title->set_text(text(m_edited.parentId > 0 ? u"NewTaskCaption" : u"NewProjectCaption"));
    else
        m_title->set_text(task_title(m_edited.title));
    show_element(m_back, !m_cancel->is_visible());
    bool has_parent = m_edited.parentId > 0;
    show_element(m_path, has_parent);
    if (has_parent)
        fill_path_bar(*m_path, m_document.engine(), m_edited.parentId);
    if (m_list)
        redraw_row(m_list->count() - 1);
    mark_redraw();
}

void TaskScreen::update_buttons()
{
    if (is_new()) {
        show_element(m_wait, false);
        show_element(m_save, false);
        show_element(m_subtasks, false);
        show_element(m_create, true);
        show_element(m_cancel, true);
        return;
    }
    bool flying = in_flight();
    bool unchanged = is_unchanged();
    show_element(m_wait, flying);
    show_element(m_save, !flying && !unchanged);
    show_element(m_subtasks, !flying && unchanged);
    show_element(m_cancel, true);
    show_element(m_create, false);
}

void TaskScreen::on_button(ButtonElement& button)
{
    if (&button == m_back || &button == m_cancel) {
        close(true);
    } else if (&button == m_save || &button == m_create) {
        save();
    } else if (&button == m_subtasks) {
        std::int32_t id = m_snapshot.id;
        close(true);
        m_document.all_tasks().close(true);
        m_document.tree().rebuild_to(id);
    }
}

void TaskScreen::save()
{
    Task copy = sendable_copy(m_edited, m_snapshot);
    // The engine takes one update at a time and drops this one when another is pending.
    m_document.engine().save_task(copy, m_comment);
    close(true);
}

void TaskScreen::form_button(Form& form, ButtonElement& button)
{
    if (&form != m_remove_form.get() || !m_remove_form->is_ok(button) || is_new())
        return;
    // The engine keeps one delete at a time and starts it when it is idle.
    m_document.engine().delete_task(m_snapshot.id);
    refresh();
}

void TaskScreen::responsible_chosen(SharingScreen&, std::int32_t user_id)
{
    m_edited.responsibleId = user_id;
    refresh();
}

void TaskScreen::text_saved(TitleEditor& editor, WStringView text)
{
    if (&editor == m_title_editor.get()) {
        m_edited.title = WString(text);
        m_new_pending = false;
    } else {
        m_comment = WString(text);
    }
    refresh();
}

void TaskScreen::text_abandoned(TitleEditor& editor)
{
    // Leaving the title of a new record unwritten abandons the record.
    if (&editor == m_title_editor.get() && is_new() && m_new_pending) {
        m_new_pending = false;
        close(true);
    }
}

void TaskScreen::progress_saved(std::int32_t done, std::int32_t plan)
{
    m_edited.done = done;
    m_edited.plan = plan;
    refresh();
}

void TaskScreen::deadline_chosen(std::int64_t deadline)
{
    m_edited.deadline = deadline;
    refresh();
}

void TaskScreen::status_chosen(std::int32_t status)
{
    m_edited.status = status;
    refresh();
}

void TaskScreen::tag_chosen(WStringView tag)
{
    m_edited.tag = WString(tag);
    refresh();
}

} // namespace corvane
