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
#include <unordered_set>
#include <vector>

namespace corvane::server {

// A caller's access to one project.
struct Access {
    int level { 0 }; // 3 owner, 2 participant, 1 read-only
    std::int64_t joined { 0 }; // Changes at or below this are never unread for the caller.
    bool is_editable() const { return level >= 2; }
};

inline constexpr int owner_level = 3;

// One project as a caller sees it: every task, the tree, the marks of the call's Filter.
struct ProjectState {
    int project_id { 0 };
    std::unordered_map<int, TaskRow> tasks; // The project itself included.
    std::unordered_map<int, std::vector<int>> children;
    std::unordered_map<int, bool> marked; // For the call's Filter.

    const TaskRow* find(int id) const;
    // Ancestors from the project down to the parent of `id` (empty for a project).
    std::vector<int> ancestors(int id) const;
    // Every task of the subtree rooted at `id`, `id` first.
    std::vector<int> subtree(int id) const;
};

// What one user sees during one call: visibility, editability and the per-user values of the
// tasks written back. Built on the call's transaction and used only inside it.
// Everything is read on first use and only as far as the call needs: a task, its children,
// its ancestors, the caller's access to one project. Neither the caller's project count nor
// a project's size or history sets the cost of a call that touches a few tasks; a whole
// project is loaded only for a subtree or for a Filter that hides some tasks.
class UserView {
public:
    UserView(
        StorageTransaction& transaction, int user_id, std::int64_t now, Filter filter = Filter {});

    int user_id() const { return m_user_id; }
    // Every project the caller sees.
    const std::map<int, Access>& projects();
    // projects() for a reply that shows them all: their unread totals and who sees them come
    // in the same read.
    const std::map<int, Access>& projects_with_sharing();
    std::optional<Access> access(int project_id);

    // The task when the caller sees it; nothing for a missing or unseen task. The row stays
    // valid until forget().
    const TaskRow* visible_task(int id);
    // The children of a task the caller sees (valid until forget()).
    std::vector<const TaskRow*> visible_children(int parent_id);
    // Ancestors from the project down to the parent of `id` (empty for a project).
    std::vector<int> ancestors(int id);
    // A page of one project's list (see StorageTransaction::list_page), valid until forget();
    // nothing when the caller does not see the project.
    std::optional<std::vector<const TaskRow*>> list_page(
        int project_id, const TaskRow* after, int limit);
    // Keeps a row the caller sees (read by a query of its own) for the rest of the call.
    const TaskRow* remember(TaskRow row);
    // Drops what was read, so the next queries see the call's own writes.
    void forget();
    ProjectState& project(int project_id); // The whole project; the caller must see it.
    // Reads in one query every one of these projects (seen by the caller) whose own mark
    // depends on its tasks, for a reply that marks them all.
    void load_project_marks(const std::vector<int>& project_ids);

    // The task as the caller is sent it: per-user values filled, changes empty.
    VizTask to_wire(const TaskRow& task);
    int unread_count(const TaskRow& task);
    // Reads the caller's unread counts of a whole project at once, for a reply that shows
    // several of its tasks: one query instead of one per task and one for the project.
    void load_unread(int project_id) { unread(project_id); }
    bool is_unread(const TaskRow& task);
    bool is_marked(const TaskRow& task);
    bool matches(const TaskRow& task) const;

private:
    // The caller's unread counts in one project: per task, and summed over subtrees.
    struct Unread {
        std::unordered_map<int, int> own;
        std::unordered_map<int, int> subtree;
    };
    Unread& unread(int project_id);
    const TaskRow* first_task(int id);
    const TaskRow* accept_first(std::optional<TaskInProject> found);
    // Nothing is known yet: the call's first reads may go to the store together.
    bool is_fresh() const { return m_access.empty() && !m_projects_loaded; }
    Unread& store_unread(int project_id, const std::vector<std::pair<int, int>>& counts);
    ProjectState& build_state(int project_id, std::vector<TaskRow> tasks);
    const std::vector<Permission>& permissions(const TaskRow& project);

    StorageTransaction& m_transaction;
    int m_user_id;
    std::int64_t m_now;
    Filter m_filter;
    bool m_marks_everything;
    std::map<int, std::optional<Access>> m_access;
    bool m_projects_loaded { false };
    std::map<int, Access> m_projects;
    std::unordered_map<int, TaskRow> m_rows; // Node-based: pointers stay valid.
    std::map<int, std::unique_ptr<ProjectState>> m_states;
    std::map<int, Unread> m_unread;
    std::optional<std::unordered_map<int, UnreadTotal>> m_project_totals;
    // Own unread counts read for a whole list of children at once; a known task that is
    // missing from the counts has none.
    std::unordered_map<int, int> m_own_unread;
    std::unordered_set<int> m_own_known;
    std::optional<int> known_own_unread(int task_id) const;
    const UnreadTotal* project_total(int project_id);
    void load_all_permissions();
    void accept_projects(std::vector<VisibleProject> rows);
    // Who else sees each project and who is invited, by project, while the projects are loaded.
    std::optional<std::map<int, std::vector<Permission>>> m_granted;
    std::map<int, std::vector<Permission>> m_permissions;
    std::unordered_map<int, Text> m_accounts; // Owners' accounts, read once per call.
};

// The ordering of every sorted reply and of paging.
bool task_before(const TaskRow& a, const TaskRow& b);

} // namespace corvane::server
