// The task screen's reactions to the engine's reports.
#include "device/model/engine/Engine.h"
#include "device/screens/Document.h"
#include "device/screens/forms/MessageForm.h"
#include "device/screens/task/DeadlineScreen.h"
#include "device/screens/task/ProgressScreen.h"
#include "device/screens/task/StatusList.h"
#include "device/screens/task/TagScreen.h"
#include "device/screens/task/TaskRules.h"
#include "device/screens/task/TaskScreen.h"
#include "device/screens/task/TitleEditor.h"
#include "device/skin/widgets/VListElement.h"

namespace corvane {

void TaskScreen::close_editors(bool all)
{
    m_status_list->close(true);
    m_users->close(true);
    m_title_editor->close(true);
    m_comment_editor->close(true);
    m_progress->close(true);
    if (all) {
        m_deadline->close(true);
        m_tag_screen->close(true);
        m_remove_form->close(true);
    }
}

void TaskScreen::take_engine_record(const Task& record)
{
    // Editors hold values from before someone else's change; they go, but what the user has
    // already put into the edited copy stays, field by field.
    if (!same_edited_fields(record, m_snapshot))
        close_editors(false);
    EditMerge merge = merge_edits(m_snapshot, m_edited, record);
    m_snapshot = record;
    m_edited = std::move(merge.edited);
    if (!merge.conflicts.empty())
        ask_conflict(record, merge.conflicts);
}

void TaskScreen::ask_conflict(const Task& record, const std::vector<EditedField>& fields)
{
    m_conflicts = fields;
    WString names;
    for (EditedField field : fields) {
        if (!names.empty())
            names += u", ";
        names += text(field_key(field));
    }
    // The newest history entry is the save that brought the change.
    WString author = record.loadedChanges.empty()
        ? text(u"ConflictSomeone")
        : m_document.user_name(record.loadedChanges.front().authorId);
    WString question = replace_placeholder(text(u"ConflictText"), u"%author%", author);
    question = replace_placeholder(question, u"%fields%", names);
    m_conflict_form->set_caption(text(u"ConflictCaption"));
    m_conflict_form->set_text(question);
    set_element_text(m_conflict_form->ok_button(), text(u"ConflictKeepMine"));
    set_element_text(m_conflict_form->cancel_button(), text(u"ConflictTakeTheirs"));
    if (!m_conflict_form->is_open())
        m_conflict_form->show(true, true);
}

void TaskScreen::on_task_changed(std::int32_t id)
{
    m_users->on_task_changed(id);
    if (!is_open() || is_new() || id != m_snapshot.id) {
        // A new record's parent may have changed its path or participants.
        if (is_open() && is_new() && id == m_snapshot.parentId)
            refresh();
        return;
    }
    const Task* record = m_document.engine().find_task(id);
    if (!record)
        return;
    ChangeMerge merge = merge_changes(m_changes, record->loadedChanges);
    if (merge.replaced) {
        reset_rows();
    } else if (m_list) {
        // New entries go directly under the properties row, older ones above the "more" row.
        for (std::int32_t i = 0; i < merge.inserted_top; ++i)
            m_list->insert_item(1);
        for (std::int32_t i = 0; i < merge.appended; ++i)
            m_list->insert_item(m_list->count() - 1);
    }
    take_engine_record(*record);
    refresh();
}

void TaskScreen::on_task_removed(std::int32_t id)
{
    m_users->on_task_removed(id);
    if (!is_open())
        return;
    bool shown = !is_new() && id == m_snapshot.id;
    bool parent = m_snapshot.parentId > 0 && id == m_snapshot.parentId;
    if (!shown && !parent)
        return;
    close_editors(true);
    m_new_pending = false;
    close(true);
}

void TaskScreen::on_tags_changed()
{
    if (m_tag_screen->is_open())
        m_tag_screen->set_tags(m_document.engine().tags());
}

void TaskScreen::on_users_changed()
{
    // The responsible-user picker is ours, so the document's reports reach it through us.
    m_users->on_users_changed();
    if (!is_open() || !m_list)
        return;
    m_list->rebuild_all_items();
    refresh();
}

void TaskScreen::on_task_saved(std::int32_t id)
{
    if (id != m_snapshot.id)
        return; // a comment written on another record stays
    m_comment.clear();
    if (is_open())
        refresh();
}

void TaskScreen::on_task_created(std::int32_t)
{
    // Only a screen still showing a new record is the one that was created; a record opened
    // since then stays open with its comment.
    if (!is_new())
        return;
    m_comment.clear();
    close(true);
}

} // namespace corvane
