#pragma once

#include "device/screens/forms/ListForm.h"

namespace corvane {

class TaskEditorListener;

// "Colors": the six statuses, each row with its colour mark, the current one checked. A press
// chooses the status and closes the list. Main thread.
class StatusList final : public ListForm, private ListFormOwner {
public:
    static constexpr std::int32_t status_count = 6;

    StatusList(Properties& properties, TaskEditorListener& listener);

    // Shows the list (pushed, animated) with `current` checked.
    void open(std::int32_t current);
    std::int32_t current() const { return m_current; }

private:
    void refresh_after_reload() override;
    void fill();
    void row_pressed(ListForm& form, std::int32_t section, std::int32_t row) override;
    void row_built(
        ListForm& form, std::int32_t section, std::int32_t row, Element& element) override;

    TaskEditorListener& m_listener; // The task screen owns us.
    std::int32_t m_current { 0 };
};

} // namespace corvane
