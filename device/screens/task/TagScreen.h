#pragma once

#include "device/screens/forms/ListForm.h"
#include "device/skin/widgets/EditElement.h"

#include <vector>

namespace corvane {

class TaskEditorListener;

// "Tag": the project's group as free text, with the known groups to pick from. "save" is offered
// while the text differs from the group at opening. Main thread.
class TagScreen final : public ListForm, private ListFormOwner, private EditListener {
public:
    TagScreen(Properties& properties, TaskEditorListener& listener);
    ~TagScreen() override;

    // Shows the screen (pushed, animated) with `tag` in the edit and `tags` listed.
    void open(WStringView tag, const std::vector<WString>& tags);
    // The engine's groups changed: list them again, keeping the text.
    void set_tags(const std::vector<WString>& tags);
    const WString& current_text() const { return m_text; }
    bool is_save_shown() const;
    void set_current_text(WStringView text);

private:
    void bind_nodes() override;
    void refresh_after_reload() override;
    void on_button(ButtonElement& button) override;
    void row_pressed(ListForm& form, std::int32_t section, std::int32_t row) override;
    void text_changed(EditElement& edit) override;
    void fill();

    TaskEditorListener& m_listener; // The task screen owns us.
    std::vector<WString> m_tags;
    WString m_opening;
    WString m_text;
    ButtonElement* m_save { nullptr }; // Not owned: our elements.
    EditElement* m_edit { nullptr };
};

} // namespace corvane
