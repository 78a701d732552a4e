#pragma once

#include "device/screens/forms/Form.h"
#include "device/screens/task/ProgressInput.h"

#include <array>

namespace corvane {

class TaskEditorListener;

// "Progress": a keypad that edits the amount done and the amount planned. The selected field
// keeps its pressed look. Main thread.
class ProgressScreen final : public Form {
public:
    ProgressScreen(Properties& properties, TaskEditorListener& listener);

    // Shows the snapshot's `done` and `plan` as the baseline (pushed, animated), the planned
    // field selected; "save" starts shown when the edited numbers differ from them.
    void open(
        std::int32_t done, std::int32_t plan, std::int32_t edited_done, std::int32_t edited_plan);
    const ProgressInput& input() const { return m_input; }
    bool is_save_shown() const;

private:
    void bind_nodes() override;
    void refresh_after_reload() override { show_input(); }
    void on_button(ButtonElement& button) override;
    // A field held pressed reports no click, so a field is selected when the finger goes down.
    void dragged(ButtonElement& button, ButtonDrag& drag) override;
    void select_field(ButtonElement& button);
    void show_input();

    TaskEditorListener& m_listener; // The task screen owns us.
    ProgressInput m_input;
    std::array<ButtonElement*, 10> m_digits {}; // Not owned: our elements.
    ButtonElement* m_backspace { nullptr };
    ButtonElement* m_back { nullptr };
    ButtonElement* m_save { nullptr };
    Element* m_done { nullptr };
    Element* m_plan { nullptr };
};

} // namespace corvane
