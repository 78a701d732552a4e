#pragma once

#include "common/records/Task.h"
#include "device/screens/forms/Form.h"
#include "device/screens/sharing/SharingScreen.h"
#include "device/screens/task/TaskEditorListener.h"
#include "device/screens/task/TaskRows.h"
#include "device/screens/task/TaskRules.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace corvane {

class DeadlineScreen;
class Document;
class MessageForm;
class ProgressScreen;
class StatusList;
class TagScreen;
class TitleEditor;
class VListElement;

// "Task": one record (project, folder or task) with its properties on top and its history below,
// which is also its chat. Edits go to a copy and reach the engine only on "save" or "create";
// the same screen creates new records. Main thread; the Document owns it.
class TaskScreen final : public Form,
                         private ListItemProvider,
                         private FormListener,
                         private SharingListener,
                         private TaskEditorListener {
public:
    explicit TaskScreen(Document& document);
    ~TaskScreen() override;

    // Shows the engine's record `id` (pushed, animated); older history is asked for when less
    // than a page of it is known.
    void show_task(std::int32_t id);
    // Shows a new record under `parent_id` and opens the title editor on it.
    void new_record(std::int32_t parent_id);
    using Form::close;
    using Form::is_open;

    // The engine's reports, forwarded by the Document.
    void on_task_changed(std::int32_t id);
    void on_task_removed(std::int32_t id);
    void on_tags_changed();
    void on_users_changed();
    void on_task_saved(std::int32_t id);
    void on_task_created(std::int32_t id);

    // State, for the editors' tests and the script driver.
    const Task& snapshot() const { return m_snapshot; }
    const Task& edited() const { return m_edited; }
    const WString& comment() const { return m_comment; }
    const std::vector<Change>& changes() const { return m_changes; }
    bool is_new_pending() const { return m_new_pending; }
    bool is_unchanged() const;
    TitleEditor& title_editor() { return *m_title_editor; }
    TitleEditor& comment_editor() { return *m_comment_editor; }
    ProgressScreen& progress_screen() { return *m_progress; }
    DeadlineScreen& deadline_screen() { return *m_deadline; }
    StatusList& status_list() { return *m_status_list; }
    TagScreen& tag_screen() { return *m_tag_screen; }
    MessageForm& remove_form() { return *m_remove_form; }

private:
    friend class TaskPropertiesItem;
    friend class TaskChatItem;
    friend class TaskMoreItem;

    // Form
    void bind_nodes() override;
    void refresh_after_reload() override;
    void on_button(ButtonElement& button) override;
    // ListItemProvider (TaskScreenRows.cpp)
    void activated(VListElement& list, std::int32_t index) override;
    std::unique_ptr<Element> create_item(VListElement& list, std::int32_t index) override;
    // FormListener: the remove question.
    void form_button(Form& form, ButtonElement& button) override;
    // SharingListener
    void responsible_chosen(SharingScreen& screen, std::int32_t user_id) override;
    // TaskEditorListener
    void text_saved(TitleEditor& editor, WStringView text) override;
    void text_abandoned(TitleEditor& editor) override;
    void progress_saved(std::int32_t done, std::int32_t plan) override;
    void deadline_chosen(std::int64_t deadline) override;
    void status_chosen(std::int32_t status) override;
    void tag_chosen(WStringView tag) override;

    // TaskScreenRows.cpp
    void draw_properties(TaskPropertiesItem& item);
    void draw_chat(TaskChatItem& item, std::int32_t index);
    void draw_more(TaskMoreItem& item);
    void property_pressed(TaskPropertiesItem::Press press);
    void more_pressed();

    void refresh();
    void update_buttons();
    void redraw_row(std::int32_t index);
    void reset_rows();
    void save();
    void close_editors(bool all);
    void take_engine_record(const Task& record);
    // Someone else changed fields the user is editing too: asks which value to keep.
    void ask_conflict(const Task& record, const std::vector<EditedField>& fields);
    bool is_new() const { return m_snapshot.id == -1; }
    bool in_flight() const;
    std::int32_t project_id() const;

    Document& m_document; // Owns us.
    Task m_snapshot; // the record as shown; id -1 for a new one
    Task m_edited; // what the editors change
    WString m_comment;
    bool m_new_pending { false };
    std::vector<Change> m_changes; // the history as shown, newest first

    std::unique_ptr<TitleEditor> m_title_editor;
    std::unique_ptr<TitleEditor> m_comment_editor;
    std::unique_ptr<ProgressScreen> m_progress;
    std::unique_ptr<DeadlineScreen> m_deadline;
    std::unique_ptr<StatusList> m_status_list;
    std::unique_ptr<TagScreen> m_tag_screen;
    std::unique_ptr<SharingScreen> m_users; // picks the responsible user
    std::unique_ptr<MessageForm> m_remove_form;
    std::unique_ptr<MessageForm> m_conflict_form; // OK keeps the user's values
    std::vector<EditedField> m_conflicts; // what the conflict form asks about

    ButtonElement* m_back { nullptr }; // Not owned: our elements.
    ButtonElement* m_cancel { nullptr };
    ButtonElement* m_title { nullptr };
    ButtonElement* m_save { nullptr };
    ButtonElement* m_subtasks { nullptr };
    ButtonElement* m_create { nullptr };
    VListElement* m_list { nullptr };
    Element* m_wait { nullptr };
    Element* m_path { nullptr };
};

} // namespace corvane
