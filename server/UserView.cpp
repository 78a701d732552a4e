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

// A Filter that marks every task spares loading whole projects to find marked descendants.
static bool marks_everything(const Filter& filter)
{
    if (filter.responsible != -1 || filter.statuses.size() < 6)
        return false;
    for (std::size_t status = 0; status < 6; ++status)
        if (!filter.statuses[status])
            return false;
    return true;
}

UserView::UserView(StorageTransaction& transaction, int user_id, std::int64_t now, Filter filter)
    : m_transaction(transaction)
    , m_user_id(user_id)
    , m_now(now)
    , m_filter(std::move(filter))
    , m_marks_everything(marks_everything(m_filter))
{
}

const std::map<int, Access>& UserView::projects()
{
    if (m_projects_loaded)
        return m_projects;
    m_projects_loaded = true;
    accept_projects(m_transaction.user_projects(m_user_id));
    return m_projects;
}

static std::map<int, std::vector<Permission>> by_project(
    const std::vector<PermissionRow>& permissions, const std::vector<InvitationRow>& invitations)
{
    std::map<int, std::vector<Permission>> granted;
    for (const PermissionRow& row : permissions)
        granted[row.project_id].push_back({ row.level, row.account, row.user_id });
    for (const InvitationRow& row : invitations)
        granted[row.project_id].push_back({ row.level, row.address, 0 });
    return granted;
}

const std::map<int, Access>& UserView::projects_with_sharing()
{
    if (!is_fresh())
        return projects();
    RootRead read = m_transaction.read_root(m_user_id, m_now);
    m_projects_loaded = true;
    accept_projects(std::move(read.projects));
    m_project_totals.emplace();
    for (const UnreadTotal& total : read.totals)
        (*m_project_totals)[total.project_id] = total;
    m_granted = by_project(read.permissions, read.invitations);
    if (read.user)
        m_accounts.emplace(m_user_id, std::move(read.user->account));
    return m_projects;
}

void UserView::accept_projects(std::vector<VisibleProject> rows)
{
    for (VisibleProject& row : rows) {
        int id = row.project.id;
        Access access { row.level, row.joined };
        m_projects[id] = access;
        m_access[id] = access;
        m_rows.insert_or_assign(id, std::move(row.project));
    }
}

std::optional<Access> UserView::access(int project_id)
{
    auto found = m_access.find(project_id);
    if (found != m_access.end())
        return found->second;
    std::optional<Access> result;
    if (m_projects_loaded) {
        auto listed = m_projects.find(project_id);
        if (listed != m_projects.end())
            result = listed->second;
    } else if (std::optional<TaskRow> project = m_transaction.find_task(project_id);
               project && project->parent_id == 0) {
        if (project->owner_id == m_user_id)
            result = Access { owner_level, project->created_seq };
        else if (auto held = m_transaction.find_permission(project_id, m_user_id))
            result = Access { held->level, held->joined_seq };
        if (result) // Most callers want the project's row next.
            m_rows.emplace(project_id, std::move(*project));
    }
    m_access[project_id] = result;
    return result;
}

const TaskRow* UserView::visible_task(int id)
{
    if (id <= 0)
        return nullptr;
    auto known = m_rows.find(id);
    if (known != m_rows.end())
        return &known->second;
    if (is_fresh())
        return first_task(id);
    std::optional<TaskRow> task = m_transaction.find_task(id);
    if (!task || !access(task->project_id))
        return nullptr;
    return &m_rows.emplace(id, std::move(*task)).first->second;
}

// A call's first task comes with the caller's access to its project in one query, where the
// store has to be asked over a network.
const TaskRow* UserView::first_task(int id)
{
    return accept_first(m_transaction.find_task_in_project(id, m_user_id));
}

const TaskRow* UserView::accept_first(std::optional<TaskInProject> found)
{
    if (!found)
        return nullptr;
    int project_id = found->task.project_id;
    std::optional<Access> result;
    if (found->project && found->project->parent_id == 0) {
        if (found->project->owner_id == m_user_id)
            result = Access { owner_level, found->project->created_seq };
        else if (found->permission)
            result = Access { found->permission->level, found->permission->joined_seq };
        if (result)
            m_rows.emplace(project_id, std::move(*found->project));
    }
    m_access[project_id] = result;
    if (!result)
        return nullptr;
    int id = found->task.id;
    return &m_rows.emplace(id, std::move(found->task)).first->second;
}

const TaskRow* UserView::remember(TaskRow row)
{
    int id = row.id;
    return &m_rows.insert_or_assign(id, std::move(row)).first->second;
}

std::vector<const TaskRow*> UserView::visible_children(int parent_id)
{
    std::vector<const TaskRow*> rows;
    std::vector<std::pair<TaskRow, int>> children;
    if (is_fresh() && parent_id > 0) {
        FolderRead read = m_transaction.read_folder(m_user_id, parent_id);
        if (!accept_first(std::move(read.folder)))
            return rows;
        children = std::move(read.children);
    } else if (visible_task(parent_id)) {
        children = m_transaction.child_tasks_unread(m_user_id, parent_id);
    } else {
        return rows;
    }
    for (auto& [child, count] : children) {
        m_own_known.insert(child.id);
        if (count > 0)
            m_own_unread[child.id] = count;
        rows.push_back(remember(std::move(child)));
    }
    return rows;
}

std::optional<std::vector<const TaskRow*>> UserView::list_page(
    int project_id, const TaskRow* after, int limit)
{
    std::vector<const TaskRow*> rows;
    if (!is_fresh()) {
        if (!access(project_id))
            return std::nullopt;
        for (TaskRow& row : m_transaction.list_page(project_id, after, limit))
            rows.push_back(remember(std::move(row)));
        return rows;
    }
    ListPageRead read = m_transaction.read_list_page(m_user_id, project_id, after, limit, m_now);
    bool is_project = read.project && read.project->task.parent_id == 0;
    if (!accept_first(std::move(read.project)) || !is_project)
        return std::nullopt;
    if (read.sharing && !m_permissions.contains(project_id)) {
        std::vector<Permission>& list = m_permissions[project_id];
        for (SharingEntry& entry : *read.sharing)
            list.push_back({ entry.level, std::move(entry.account), entry.user_id });
    }
    // The parents are of the same project, so the caller sees them too.
    for (TaskRow& parent : read.parents) {
        if (parent.project_id == project_id)
            m_rows.emplace(parent.id, std::move(parent));
    }
    for (TaskRow& row : read.page)
        rows.push_back(remember(std::move(row)));
    if (!m_unread.contains(project_id))
        store_unread(project_id, read.unread);
    return rows;
}

std::optional<int> UserView::known_own_unread(int task_id) const
{
    if (!m_own_known.contains(task_id))
        return std::nullopt;
    auto found = m_own_unread.find(task_id);
    return found == m_own_unread.end() ? 0 : found->second;
}

std::vector<int> UserView::ancestors(int id)
{
    std::vector<int> chain;
    const TaskRow* task = visible_task(id);
    // The depth bound guards against a cycle in a damaged file.
    for (int depth = 0; task && task->parent_id != 0 && depth < 10'000; ++depth) {
        chain.push_back(task->parent_id);
        task = visible_task(task->parent_id);
    }
    std::reverse(chain.begin(), chain.end());
    return chain;
}

void UserView::forget()
{
    m_rows.clear();
    m_states.clear();
    m_unread.clear();
    m_project_totals.reset();
    m_own_unread.clear();
    m_own_known.clear();
    m_permissions.clear();
    m_granted.reset();
    m_accounts.clear();
}

ProjectState& UserView::project(int project_id)
{
    auto found = m_states.find(project_id);
    if (found != m_states.end())
        return *found->second;
    return build_state(project_id, m_transaction.project_tasks(project_id));
}

void UserView::load_project_marks(const std::vector<int>& project_ids)
{
    if (m_marks_everything)
        return;
    std::vector<int> wanted;
    for (int id : project_ids) {
        const TaskRow* row = visible_task(id);
        if (row && row->parent_id == 0 && row->child_count != 0 && !matches(*row)
            && !m_states.contains(id))
            wanted.push_back(id);
    }
    if (wanted.size() < 2)
        return; // project() reads a single one as cheaply.
    std::map<int, std::vector<TaskRow>> grouped;
    for (int id : wanted)
        grouped[id];
    for (TaskRow& task : m_transaction.projects_tasks(wanted)) {
        auto slot = grouped.find(task.project_id);
        if (slot != grouped.end())
            slot->second.push_back(std::move(task));
    }
    for (auto& [id, tasks] : grouped)
        build_state(id, std::move(tasks));
}

ProjectState& UserView::build_state(int project_id, std::vector<TaskRow> tasks)
{
    auto& slot = m_states[project_id];
    slot = std::make_unique<ProjectState>();
    ProjectState& state = *slot;
    state.project_id = project_id;
    for (TaskRow& task : tasks) {
        int id = task.id;
        if (task.parent_id != 0)
            state.children[task.parent_id].push_back(id);
        state.tasks.emplace(id, std::move(task));
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

UserView::Unread& UserView::unread(int project_id)
{
    auto found = m_unread.find(project_id);
    if (found != m_unread.end())
        return found->second;
    return store_unread(project_id, m_transaction.unread_counts(m_user_id, project_id, 0));
}

UserView::Unread& UserView::store_unread(
    int project_id, const std::vector<std::pair<int, int>>& found)
{
    Unread& counts = m_unread[project_id];
    // Only the tasks with unread changes are read, and their ancestors.
    for (auto [task_id, count] : found) {
        counts.own[task_id] = count;
        counts.subtree[task_id] += count;
        for (int ancestor : ancestors(task_id))
            counts.subtree[ancestor] += count;
    }
    return counts;
}

// Every project's list at once, for a call that writes all the caller's projects: three
// queries however many projects there are.
void UserView::load_all_permissions()
{
    if (!m_granted) {
        m_granted = by_project(m_transaction.visible_project_permissions(m_user_id),
            m_transaction.visible_project_invitations(m_user_id, m_now));
    }
    const std::map<int, std::vector<Permission>>& granted = *m_granted;
    for (const auto& [project_id, access] : m_projects) {
        const TaskRow* project = visible_task(project_id);
        if (!project || m_permissions.contains(project_id))
            continue;
        auto& list = m_permissions[project_id];
        auto account = m_accounts.find(project->owner_id);
        if (account == m_accounts.end()) {
            std::optional<UserRow> owner = m_transaction.find_user(project->owner_id);
            account = m_accounts.emplace(project->owner_id, owner ? owner->account : Text {}).first;
        }
        list.push_back({ owner_level, account->second, project->owner_id });
        auto extra = granted.find(project_id);
        if (extra != granted.end())
            list.insert(list.end(), extra->second.begin(), extra->second.end());
    }
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
