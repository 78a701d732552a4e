#pragma once

#include "common/base/Text.h"

#include <cstdint>

namespace corvane {

// What the Engine reports to its owner (the Document). Main thread. Every operation has an
// empty default so an owner implements what it shows.
class EngineListener {
public:
    virtual ~EngineListener() = default;
    // Busy changed, or an error key when a call failed (busy is then false).
    virtual void on_state(bool busy, WStringView error_key)
    {
        (void)busy;
        (void)error_key;
    }
    virtual void on_list_changed() { }
    virtual void on_ticket(bool accepted) { (void)accepted; }
    virtual void on_tags_changed() { }
    virtual void on_users_changed() { }
    virtual void on_task_changed(std::int32_t id) { (void)id; }
    virtual void on_task_removed(std::int32_t id) { (void)id; }
    virtual void on_task_saved(std::int32_t id) { (void)id; }
    virtual void on_task_created(std::int32_t id) { (void)id; }
    // The service refused a change for good (the task is gone, access was lost, its key was
    // used for another request); it left the outbox. `name` is the task's title, if known.
    virtual void on_change_refused(std::int32_t id, WStringView name)
    {
        (void)id;
        (void)name;
    }
    // The service refused a permission change or an invitation (`text` as it was sent).
    virtual void on_permission_refused(std::int32_t project, WStringView text)
    {
        (void)project;
        (void)text;
    }
};

} // namespace corvane
