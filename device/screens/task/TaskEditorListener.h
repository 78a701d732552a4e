#pragma once

#include "common/base/Text.h"

#include <cstdint>

namespace corvane {

class TitleEditor;

// What the task screen's editor screens hand back. Each call comes after the editor has begun
// closing itself. Main thread; the task screen owns the editors and outlives them.
class TaskEditorListener {
public:
    virtual ~TaskEditorListener() = default;
    // "save" in a text editor ("Title" or "Comment").
    virtual void text_saved(TitleEditor& editor, WStringView text) = 0;
    // "back" in a text editor: nothing was saved.
    virtual void text_abandoned(TitleEditor& editor) = 0;
    virtual void progress_saved(std::int32_t done, std::int32_t plan) = 0;
    // Milliseconds since 1970 UTC; 0 removes the deadline.
    virtual void deadline_chosen(std::int64_t deadline) = 0;
    virtual void status_chosen(std::int32_t status) = 0;
    virtual void tag_chosen(WStringView tag) = 0;
};

} // namespace corvane
