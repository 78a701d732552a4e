#include "server/UserView.h"

#include <algorithm>

namespace corvane::server {

const TaskRow* ProjectState::find(int id) const
{
    auto found = tasks.find(id);
    return found == tasks.end() ? nullptr : &found->second;
}

std::vector<int> ProjectState::ancestors(int id) const
{
    std::vector<int> chain;
    const TaskRow* task = find(id);
    // The depth bound guards against a cycle in a damaged file.
    for (std::size_t depth = 0; task && task->parent_id != 0 && depth <= tasks.size(); ++depth) {
        chain.push_back(task->parent_id);
        task = find(task->parent_id);
    }
    std::reverse(chain.begin(), chain.end());
    return chain;
}

std::vector<int> ProjectState::subtree(int id) const
{
    std::vector<int> ids { id };
    for (std::size_t i = 0; i < ids.size() && ids.size() <= tasks.size(); ++i) {
        auto found = children.find(ids[i]);
        if (found != children.end())
            ids.insert(ids.end(), found->second.begin(), found->second.end());
    }
    return ids;
}

UserView::UserView(StorageTransaction& transaction, int user_id, std::int64_t now, Filter filter)
    : m_transaction(transaction)
    , m_user_id(user_id)
    , m_now(now)
    , m_filter(std::move(filter))
{
    for (const PermissionRow& permission : transaction.user_permissions(user_id))
        m_access[permission.project_id] = { permission.level, permission.joined_seq };
    for (auto [project_id, created_seq] : transaction.owned_projects(user_id))
        m_access[project_id] = { owner_level, created_seq };
}

std::optional<Access> UserView::access(int project_id) const
{
    auto found = m_access.find(project_id);
    if (found == m_access.end())
        return std::nullopt;
    return found->second;
}

const TaskRow* UserView::visible_task(int id)
{
    if (id <= 0)
        return nullptr;
    for (auto& [project_id, state] : m_states) {
        if (const TaskRow* task = state->find(id))
            return task;
    }
    auto single = m_singles.find(id);
    if (single != m_singles.end())
        return &single->second;
    std::optional<TaskRow> task = m_transaction.find_task(id);
    if (!task || !m_access.contains(task->project_id))
        return nullptr;
    return &m_singles.emplace(id, std::move(*task)).first->second;
}

void UserView::forget()
{
    m_states.clear();
    m_singles.clear();
}

ProjectState& UserView::project(int project_id)
{
    auto& slot = m_states[project_id];
    if (slot)
        return *slot;
    slot = std::make_unique<ProjectState>();
    ProjectState& state = *slot;
    state.project_id = project_id;
    for (TaskRow& task : m_transaction.project_tasks(project_id)) {
        int id = task.id;
        if (task.parent_id != 0)
            state.children[task.parent_id].push_back(id);
        state.tasks.emplace(id, std::move(task));
    }
    Access access = m_access.count(project_id) ? m_access[project_id] : Access {};
    for (auto [task_id, count] :
        m_transaction.unread_counts(m_user_id, project_id, access.joined)) {
        state.own_unread[task_id] = count;
        const TaskRow* task = state.find(task_id);
        for (std::size_t depth = 0; task && depth <= state.tasks.size(); ++depth) {
            state.subtree_unread[task->id] += count;
            task = task->parent_id ? state.find(task->parent_id) : nullptr;
        }
    }
    for (const auto& [id, task] : state.tasks) {
        if (!matches(task))
            continue;
        const TaskRow* walk = &task;
        for (std::size_t depth = 0; walk && depth <= state.tasks.size(); ++depth) {
            bool& flag = state.marked[walk->id];
            if (flag)
                break;
            flag = true;
            walk = walk->parent_id ? state.find(walk->parent_id) : nullptr;
        }
    }
    return state;
}

void UserView::load_permissions(ProjectState& state)
{
    if (state.permissions_loaded)
        return;
    state.permissions_loaded = true;
    const TaskRow* project = state.find(state.project_id);
    if (!project)
        return;
    std::optional<UserRow> owner = m_transaction.find_user(project->owner_id);
    state.permissions.push_back(
        { owner_level, owner ? owner->account : Text {}, project->owner_id });
    for (const PermissionRow& row : m_transaction.project_permissions(state.project_id))
        state.permissions.push_back({ row.level, row.account, row.user_id });
    for (const InvitationRow& row : m_transaction.project_invitations(state.project_id, m_now))
        state.permissions.push_back({ row.level, row.address, 0 });
}

int UserView::unread_count(const TaskRow& task)
{
    // A leaf needs only its own changes; a folder needs its whole project.
    if (task.child_count == 0 && !m_states.contains(task.project_id)) {
        std::optional<Access> caller = access(task.project_id);
        return m_transaction.task_unread_count(m_user_id, task.id, caller ? caller->joined : 0);
    }
    ProjectState& state = project(task.project_id);
    auto found = state.subtree_unread.find(task.id);
    return found == state.subtree_unread.end() ? 0 : found->second;
}

bool UserView::is_unread(const TaskRow& task)
{
    if (task.child_count == 0 && !m_states.contains(task.project_id))
        return unread_count(task) > 0;
    ProjectState& state = project(task.project_id);
    return state.own_unread.contains(task.id);
}

bool UserView::is_marked(const TaskRow& task)
{
    if (task.child_count == 0 && !m_states.contains(task.project_id))
        return matches(task);
    ProjectState& state = project(task.project_id);
    auto found = state.marked.find(task.id);
    return found != state.marked.end() && found->second;
}

bool UserView::matches(const TaskRow& task) const
{
    VizTask probe;
    probe.status = task.status;
    probe.responsibleId = task.responsible_id;
    return m_filter.matches(probe);
}

VizTask UserView::to_wire(const TaskRow& task)
{
    VizTask wire;
    wire.ownerId = task.owner_id;
    std::optional<Access> caller = access(task.project_id);
    wire.editable = caller && caller->is_editable();
    wire.complete = task.complete;
    wire.date = task.date;
    wire.deadline = task.deadline;
    wire.done = task.done;
    wire.plan = task.plan;
    wire.childCount = task.child_count;
    wire.unreadCount = unread_count(task);
    wire.id = task.id;
    wire.marked = is_marked(task);
    wire.unread = is_unread(task);
    wire.title = task.title;
    wire.parentId = task.parent_id;
    if (task.parent_id == 0) {
        ProjectState& state = project(task.project_id);
        load_permissions(state);
        wire.permissions = state.permissions;
    }
    wire.projectId = task.project_id;
    wire.responsibleId = task.responsible_id;
    wire.status = task.status;
    wire.tag = task.tag;
    return wire;
}

bool task_before(const TaskRow& a, const TaskRow& b)
{
    if (a.complete != b.complete)
        return !a.complete;
    if (a.date != b.date)
        return a.date > b.date;
    bool a_deadline = a.deadline != 0;
    bool b_deadline = b.deadline != 0;
    if (a_deadline != b_deadline)
        return a_deadline;
    if (a.deadline != b.deadline)
        return a.deadline < b.deadline;
    int titles = a.title.compare(b.title); // char16_t units: code-unit order.
    if (titles != 0)
        return titles < 0;
    return a.id < b.id;
}

} // namespace corvane::server
