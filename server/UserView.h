#pragma once

#include "server/Rows.h"
#include "server/Storage.h"

#include "common/records/Filter.h"
#include "common/records/VizTask.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace corvane::server {

// A caller's access to one project.
struct Access {
    int level { 0 }; // 3 owner, 2 participant, 1 read-only
    std::int64_t joined { 0 }; // Changes at or below this are never unread for the caller.
    bool is_editable() const { return level >= 2; }
};

inline constexpr int owner_level = 3;

// One project as a caller sees it: every task, the tree, the caller's unread counts.
struct ProjectState {
    int project_id { 0 };
    std::unordered_map<int, TaskRow> tasks; // The project itself included.
    std::unordered_map<int, std::vector<int>> children;
    std::unordered_map<int, int> own_unread; // Task -> its own unread changes.
    std::unordered_map<int, int> subtree_unread; // Task -> unread changes in its subtree.
    std::unordered_map<int, bool> marked; // For the call's Filter.
    bool permissions_loaded { false };
    std::vector<Permission> permissions;

    const TaskRow* find(int id) const;
    // Ancestors from the project down to the parent of `id` (empty for a project).
    std::vector<int> ancestors(int id) const;
    // Every task of the subtree rooted at `id`, `id` first.
    std::vector<int> subtree(int id) const;
};

// What one user sees during one call: visibility, editability and the per-user values of the
// tasks written back. Built on the call's transaction and used only inside it.
class UserView {
public:
    UserView(
        StorageTransaction& transaction, int user_id, std::int64_t now, Filter filter = Filter {});

    int user_id() const { return m_user_id; }
    const std::map<int, Access>& projects() const { return m_access; }
    std::optional<Access> access(int project_id) const;

    // The task when the caller sees it; nothing for a missing or unseen task. The row stays
    // valid until forget().
    const TaskRow* visible_task(int id);
    // Drops what was read, so the next queries see the call's own writes.
    void forget();
    ProjectState& project(int project_id); // The caller must see it.

    // The task as the caller is sent it: per-user values filled, changes empty.
    VizTask to_wire(const TaskRow& task);
    int unread_count(const TaskRow& task);
    bool is_unread(const TaskRow& task);
    bool is_marked(const TaskRow& task);
    bool matches(const TaskRow& task) const;

private:
    void load_permissions(ProjectState& state);

    StorageTransaction& m_transaction;
    int m_user_id;
    std::int64_t m_now;
    Filter m_filter;
    std::map<int, Access> m_access;
    std::map<int, std::unique_ptr<ProjectState>> m_states;
    std::map<int, TaskRow> m_singles; // Tasks read one by one, before their project was.
};

// The ordering of every sorted reply and of paging.
bool task_before(const TaskRow& a, const TaskRow& b);

} // namespace corvane::server
