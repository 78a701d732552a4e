#pragma once

#include "common/base/Text.h"

#include <cstdint>
#include <memory>

namespace corvane {

class Document;
class Engine;
class Properties;
class TreeStack;

// What the tree screens need from the program around them: the model, the texts, and the
// screens they lead to. The document is the host in the program; keeping the tree on this
// narrow interface lets it be driven against a real engine without the rest of the screens.
// Main thread.
class TreeHost {
public:
    virtual ~TreeHost() = default;

    virtual Properties& properties() const = 0;
    virtual Engine& engine() const = 0;
    virtual TreeStack& tree() const = 0;

    virtual WString text(WStringView key) const = 0;
    // -1 "vizUsersAll", a known user's name, or "LoadingUser".
    virtual WString user_name(std::int32_t id) const = 0;
    virtual WString relative_date(std::int64_t milliseconds, bool with_time) const = 0;
    virtual std::int32_t selected_user() const = 0;

    virtual void show_main_menu() = 0;
    // The flat list of a record (id >= 1), of everything (0) or of a tag (-1 with the tag).
    virtual void show_all_tasks(std::int32_t id, WStringView name) = 0;
    // Opens a record in the task screen (the engine is told first).
    virtual void show_task(std::int32_t id) = 0;
    // Starts a new record under `parent_id` (0: a new project).
    virtual void new_record(std::int32_t parent_id) = 0;
    // The users screen picking the tree's filter user.
    virtual void select_user() = 0;
};

// The document as the tree's host.
std::unique_ptr<TreeHost> make_document_tree_host(Document& document);

} // namespace corvane
