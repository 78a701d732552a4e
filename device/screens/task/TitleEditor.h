#pragma once

#include "device/screens/forms/Form.h"
#include "device/skin/widgets/EditElement.h"

namespace corvane {

class TaskEditorListener;

// A one-field text editor ("Title" for a record's text, "Comment" for a new comment): "save" is
// offered only while the text differs from the text it was opened with. Main thread.
class TitleEditor final : public Form, private EditListener {
public:
    TitleEditor(Properties& properties, WString node, TaskEditorListener& listener);
    ~TitleEditor() override;

    // Shows the screen (pushed, animated) with `text` in the edit, which takes the focus.
    void open(WStringView text);
    const WString& text_at_opening() const { return m_opening; }
    const WString& current_text() const { return m_text; }
    bool is_save_shown() const;
    // Types into the edit as the user would (scripts and tests).
    void set_current_text(WStringView text);

private:
    void bind_nodes() override;
    void refresh_after_reload() override;
    void on_button(ButtonElement& button) override;
    void text_changed(EditElement& edit) override;
    void update_save();

    TaskEditorListener& m_listener; // The task screen owns us.
    WString m_opening;
    WString m_text; // kept across skin reloads
    ButtonElement* m_back { nullptr }; // Not owned: our elements.
    ButtonElement* m_save { nullptr };
    EditElement* m_edit { nullptr };
};

} // namespace corvane
