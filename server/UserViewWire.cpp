#include "server/UserView.h"

// How a task looks to the caller on the wire: who shares its project, its unread counts and
// its mark under the caller's filter, each read from the database only when first asked.

namespace corvane::server {

const std::vector<Permission>& UserView::permissions(const TaskRow& project)
{
    auto found = m_permissions.find(project.id);
    if (found != m_permissions.end())
        return found->second;
    if (m_projects_loaded && m_projects.contains(project.id)) {
        load_all_permissions();
        found = m_permissions.find(project.id);
        if (found != m_permissions.end())
            return found->second;
    }
    std::vector<Permission>& list = m_permissions[project.id];
    for (SharingEntry& entry : m_transaction.project_sharing(project.id, project.owner_id, m_now))
        list.push_back({ entry.level, std::move(entry.account), entry.user_id });
    return list;
}

int UserView::unread_count(const TaskRow& task)
{
    if (!m_unread.contains(task.project_id)) {
        // A project needs its total (one query for all of them), a leaf its own counter.
        if (task.parent_id == 0) {
            const UnreadTotal* total = project_total(task.id);
            return total ? total->total : 0;
        }
        if (task.child_count == 0) {
            std::optional<int> known = known_own_unread(task.id);
            return known ? *known : m_transaction.task_unread_count(m_user_id, task.id, 0);
        }
    }
    Unread& counts = unread(task.project_id);
    auto found = counts.subtree.find(task.id);
    return found == counts.subtree.end() ? 0 : found->second;
}

const UnreadTotal* UserView::project_total(int project_id)
{
    if (!m_project_totals) {
        m_project_totals.emplace();
        for (const UnreadTotal& total : m_transaction.project_unread_totals(m_user_id))
            (*m_project_totals)[total.project_id] = total;
    }
    auto found = m_project_totals->find(project_id);
    return found == m_project_totals->end() ? nullptr : &found->second;
}

bool UserView::is_unread(const TaskRow& task)
{
    auto counts = m_unread.find(task.project_id);
    if (counts == m_unread.end() && task.parent_id == 0) {
        const UnreadTotal* total = project_total(task.id);
        return total && total->own > 0;
    }
    if (counts == m_unread.end()) {
        std::optional<int> known = known_own_unread(task.id);
        return (known ? *known : m_transaction.task_unread_count(m_user_id, task.id, 0)) > 0;
    }
    return counts->second.own.contains(task.id);
}

bool UserView::is_marked(const TaskRow& task)
{
    if (m_marks_everything || matches(task))
        return true;
    if (task.child_count == 0)
        return false;
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
    if (task.parent_id == 0)
        wire.permissions = permissions(task);
    wire.projectId = task.project_id;
    wire.responsibleId = task.responsible_id;
    wire.status = task.status;
    wire.tag = task.tag;
    return wire;
}

} // namespace corvane::server
