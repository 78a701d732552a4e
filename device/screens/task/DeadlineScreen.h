#pragma once

#include "device/screens/forms/Form.h"
#include "device/skin/widgets/DateTimePicker.h"

namespace corvane {

class TaskEditorListener;

// "Deadline": the date-time drums, "save" and, when there is a deadline, "remove". Deadlines are
// the service's milliseconds since 1970 UTC. Main thread.
class DeadlineScreen final : public Form, private DateTimePickerListener {
public:
    DeadlineScreen(Properties& properties, TaskEditorListener& listener);
    ~DeadlineScreen() override;

    // Shows the deadline's day, or today (local) when `deadline` is 0; pushed, animated.
    void open(std::int64_t deadline, TimeValue today);
    std::int64_t picked_deadline() const;
    bool is_save_shown() const;
    bool is_remove_shown() const;
    DateTimePicker& picker() { return m_picker; }

private:
    void bind_nodes() override;
    void refresh_after_reload() override;
    void on_button(ButtonElement& button) override;
    void changed(DateTimePicker& picker, std::int32_t drum) override;

    TaskEditorListener& m_listener; // The task screen owns us.
    DateTimePicker m_picker;
    std::int64_t m_opening { 0 };
    TimeValue m_shown { 0 }; // the picked time, kept across skin reloads
    bool m_save_shown { true };
    ButtonElement* m_back { nullptr }; // Not owned: our elements.
    ButtonElement* m_save { nullptr };
    ButtonElement* m_remove { nullptr };
};

} // namespace corvane
