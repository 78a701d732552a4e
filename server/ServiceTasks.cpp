#include "server/Service.h"

#include "server/IdempotencyScope.h"
#include "server/ServerLog.h"
#include "server/UserView.h"

#include "common/base/Text.h"

#include <algorithm>
#include <limits>
#include <set>

namespace corvane::server {

static constexpr std::size_t max_text_units = 10'000;
static constexpr std::size_t max_tag_units = 100;
static constexpr int max_children = 1000;
static constexpr int max_owned_projects = 1000;
static constexpr int max_changes_per_page = 100;

Change to_wire(const ChangeRow& row)
{
    Change change;
    change.kind = row.kind;
    change.text = row.text;
    change.complete = row.complete;
    change.deadline = row.deadline;
    change.doneDelta = row.done_delta;
    change.planDelta = row.plan_delta;
    change.changeId = static_cast<std::int32_t>(row.change_id);
    change.title = row.title;
    change.responsibleId = row.responsible_id;
    change.status = row.status;
    change.time = row.time;
    change.userId = row.user_id;
    change.authorId = row.author_id;
    return change;
}

// What a refused write answers: no task a client could mistake for a real one.
static VizTask failure_task()
{
    VizTask task;
    task.ownerId = 0;
    task.editable = false;
    task.id = -1;
    task.parentId = -1;
    task.projectId = 0;
    task.responsibleId = 0;
    task.status = 0;
    return task;
}

static VizTask refuse(const char* method, int user_id, const char* reason)
{
    log_line(std::string(method) + " refused for user " + std::to_string(user_id) + ": " + reason);
    return failure_task();
}

// stored + delta, floored at 0 and kept inside 32 bits.
static int add_floored(int stored, int delta)
{
    std::int64_t sum = std::int64_t(stored) + delta;
    return int(std::clamp<std::int64_t>(sum, 0, std::numeric_limits<std::int32_t>::max()));
}

static const char* check_fields(const VizTask& task, const std::u16string& comment)
{
    if (task.status < 0 || task.status > 5)
        return "status outside 0..5";
    if (task.deadline < 0)
        return "negative deadline";
    if (task.title.size() > max_text_units || comment.size() > max_text_units)
        return "text too long";
    if (task.tag.size() > max_tag_units)
        return "tag too long";
    return nullptr;
}

static bool has_access(StorageTransaction& transaction, const TaskRow& project_or_task, int user_id)
{
    std::optional<TaskRow> project = project_or_task.parent_id == 0
        ? std::optional<TaskRow>(project_or_task)
        : transaction.find_task(project_or_task.project_id);
    if (!project)
        return false;
    if (project->owner_id == user_id)
        return true;
    return transaction.find_permission(project->id, user_id).has_value();
}

std::vector<VizTask> Service::get_filtered_children(
    const std::u16string& session, const Filter& filter, std::int32_t parent_id)
{
    Call call = open_call(session, TransactionKind::Read);
    UserView view(*call.transaction, call.user_id, m_clock.now_ms(), filter);
    std::vector<const TaskRow*> rows;
    if (parent_id == 0) {
        std::vector<int> ids;
        for (const auto& [project_id, access] : view.projects_with_sharing()) {
            if (const TaskRow* project = view.visible_task(project_id)) {
                rows.push_back(project);
                ids.push_back(project_id);
            }
        }
        view.load_project_marks(ids);
    } else {
        rows = view.visible_children(parent_id);
    }
    std::sort(rows.begin(), rows.end(),
        [](const TaskRow* a, const TaskRow* b) { return task_before(*a, *b); });
    std::vector<VizTask> reply;
    reply.reserve(rows.size());
    for (const TaskRow* row : rows)
        reply.push_back(view.to_wire(*row));
    call.transaction->commit();
    return reply;
}

std::vector<VizTask> Service::load_task(
    const std::u16string& session, const Filter& filter, std::int32_t task_id)
{
    Call call = open_call(session, TransactionKind::Read);
    UserView view(*call.transaction, call.user_id, m_clock.now_ms(), filter);
    std::vector<VizTask> reply;
    if (view.visible_task(task_id)) {
        for (int ancestor : view.ancestors(task_id)) {
            if (const TaskRow* row = view.visible_task(ancestor))
                reply.push_back(view.to_wire(*row));
        }
        reply.push_back(view.to_wire(*view.visible_task(task_id)));
    }
    call.transaction->commit();
    return reply;
}

std::vector<Change> Service::get_changes(
    const std::u16string& session, std::int32_t task_id, std::int32_t count, std::int32_t position)
{
    Call call = open_call(session, TransactionKind::Read);
    UserView view(*call.transaction, call.user_id, m_clock.now_ms());
    std::vector<Change> reply;
    if (count > 0 && view.visible_task(task_id)) {
        for (const ChangeRow& row : call.transaction->task_changes_below(
                 task_id, position, std::min(count, max_changes_per_page)))
            reply.push_back(to_wire(row));
    }
    call.transaction->commit();
    return reply;
}

VizTask Service::update_task(
    const std::u16string& session, const TaskEdit& edit, const std::u16string& comment)
{
    Call call = open_call(session, TransactionKind::Write);
    StorageTransaction& transaction = *call.transaction;
    std::int64_t now = m_clock.now_ms();
    UserView view(transaction, call.user_id, now);
    const VizTask& wanted = edit.task;
    const TaskRow* found = view.visible_task(wanted.id);
    if (!found)
        return refuse("updateTask", call.user_id, "task not seen");
    if (!view.access(found->project_id)->is_editable())
        return refuse("updateTask", call.user_id, "not editable");
    if (const char* reason = check_fields(wanted, comment))
        return refuse("updateTask", call.user_id, reason);
    TaskRow before = *found;
    TaskRow after = before;
    if (wanted.responsibleId != before.responsible_id) {
        if (wanted.responsibleId <= 0 || !has_access(transaction, before, wanted.responsibleId))
            return refuse("updateTask", call.user_id, "responsible user has no access");
        after.responsible_id = wanted.responsibleId;
    }
    after.title = wanted.title;
    after.complete = wanted.complete;
    after.deadline = wanted.deadline;
    after.status = wanted.status;
    if (before.parent_id == 0)
        after.tag = wanted.tag;
    after.done = add_floored(before.done, edit.done_delta);
    after.plan = add_floored(before.plan, edit.plan_delta);

    ChangeRow change;
    change.kind = int(ChangeKind::Edit);
    change.text = comment;
    if (after.title != before.title && !after.title.empty())
        change.title = after.title;
    if (after.complete != before.complete)
        change.complete = after.complete ? 1 : 0;
    if (after.deadline != before.deadline && after.deadline != 0)
        change.deadline = after.deadline;
    if (after.status != before.status)
        change.status = after.status;
    if (after.responsible_id != before.responsible_id)
        change.responsible_id = after.responsible_id;
    change.done_delta = after.done - before.done;
    change.plan_delta = after.plan - before.plan;
    bool changed = after.title != before.title || after.complete != before.complete
        || after.deadline != before.deadline || after.status != before.status
        || after.responsible_id != before.responsible_id || after.tag != before.tag
        || change.done_delta != 0 || change.plan_delta != 0;
    if (changed || !comment.empty()) {
        change.change_id = transaction.next_seq();
        change.task_id = before.id;
        change.project_id = before.project_id;
        change.time = now;
        change.author_id = call.user_id;
        transaction.insert_change(change);
        transaction.insert_event({ change.change_id, EventKind::Change, before.id, before.parent_id,
            before.project_id, 0 });
    }
    if (changed)
        transaction.update_task(after);
    view.forget();
    const TaskRow* stored = view.visible_task(before.id);
    VizTask reply = stored ? view.to_wire(*stored) : failure_task();
    IdempotencyScope::remember(transaction, reply);
    transaction.commit();
    return reply;
}

VizTask Service::create_task(
    const std::u16string& session, const TaskEdit& edit, const std::u16string& comment)
{
    Call call = open_call(session, TransactionKind::Write);
    StorageTransaction& transaction = *call.transaction;
    std::int64_t now = m_clock.now_ms();
    UserView view(transaction, call.user_id, now);
    const VizTask& wanted = edit.task;
    if (wanted.id != -1)
        return refuse("createTask", call.user_id, "id is not -1");
    if (const char* reason = check_fields(wanted, comment))
        return refuse("createTask", call.user_id, reason);
    TaskRow task;
    const TaskRow* parent = nullptr;
    if (wanted.parentId == 0) {
        if (transaction.count_owned_projects(call.user_id) >= max_owned_projects)
            return refuse("createTask", call.user_id, "too many projects");
        task.tag = wanted.tag;
    } else {
        parent = view.visible_task(wanted.parentId);
        if (!parent)
            return refuse("createTask", call.user_id, "parent not seen");
        if (!view.access(parent->project_id)->is_editable())
            return refuse("createTask", call.user_id, "parent not editable");
        if (transaction.count_children(parent->id) >= max_children)
            return refuse("createTask", call.user_id, "too many children");
        task.project_id = parent->project_id;
    }
    std::int64_t seq = transaction.next_seq();
    task.parent_id = wanted.parentId;
    task.owner_id = call.user_id;
    task.title = wanted.title;
    task.status = wanted.status;
    task.complete = wanted.complete;
    task.done = add_floored(0, edit.done_delta);
    task.plan = add_floored(0, edit.plan_delta);
    task.deadline = wanted.deadline;
    task.date = now;
    task.created_seq = seq;
    bool responsible_ok = wanted.responsibleId == call.user_id
        || (parent && wanted.responsibleId > 0
            && has_access(transaction, *parent, wanted.responsibleId));
    task.responsible_id = responsible_ok ? wanted.responsibleId : call.user_id;
    task.id = transaction.insert_task(task);
    if (!parent) {
        task.project_id = task.id;
        transaction.update_task(task);
        transaction.add_member_ever(task.id, call.user_id);
    } else {
        transaction.adjust_child_count(parent->id, +1);
    }

    ChangeRow change;
    change.change_id = seq;
    change.task_id = task.id;
    change.project_id = task.project_id;
    change.kind = int(ChangeKind::Creation);
    change.text = comment;
    change.title = task.title;
    change.responsible_id = task.responsible_id;
    change.status = task.status;
    change.complete = task.complete ? 1 : -1;
    change.deadline = task.deadline;
    change.done_delta = task.done;
    change.plan_delta = task.plan;
    change.time = now;
    change.author_id = call.user_id;
    transaction.insert_change(change);
    transaction.insert_event(
        { seq, EventKind::Create, task.id, task.parent_id, task.project_id, 0 });
    transaction.set_viewed(call.user_id, task.id, seq, 0);

    UserView fresh(transaction, call.user_id, now);
    const TaskRow* stored = fresh.visible_task(task.id);
    VizTask reply = stored ? fresh.to_wire(*stored) : failure_task();
    IdempotencyScope::remember(transaction, reply);
    transaction.commit();
    return reply;
}

std::int32_t Service::delete_task(const std::u16string& session, std::int32_t task_id)
{
    Call call = open_call(session, TransactionKind::Write);
    StorageTransaction& transaction = *call.transaction;
    UserView view(transaction, call.user_id, m_clock.now_ms());
    const TaskRow* task = view.visible_task(task_id);
    auto refused = [&](const char* reason) {
        log_line("deleteTask refused for user " + std::to_string(call.user_id) + ": " + reason);
        return 0;
    };
    if (!task)
        return refused("task not seen");
    std::optional<Access> access = view.access(task->project_id);
    if (!access->is_editable())
        return refused("not editable");
    if (task->owner_id != call.user_id && access->level != owner_level)
        return refused("neither the task's nor the project's owner");
    ProjectState& state = view.project(task->project_id);
    TaskRow root = *task;
    transaction.delete_tasks(state.subtree(root.id));
    if (root.parent_id == 0) {
        std::vector<int> members { root.owner_id };
        for (const PermissionRow& permission : transaction.project_permissions(root.id))
            members.push_back(permission.user_id);
        transaction.delete_project_permissions(root.id);
        transaction.delete_project_invitations(root.id);
        for (int member : members)
            transaction.insert_event(
                { transaction.next_seq(), EventKind::Remove, root.id, 0, root.id, member });
    } else {
        transaction.adjust_child_count(root.parent_id, -1);
        transaction.insert_event({ transaction.next_seq(), EventKind::Remove, root.id,
            root.parent_id, root.project_id, 0 });
    }
    IdempotencyScope::remember(transaction, 1);
    transaction.commit();
    return 1;
}

void Service::set_viewed(const std::u16string& session, std::int32_t task_id)
{
    Call call = open_call(session, TransactionKind::Write);
    StorageTransaction& transaction = *call.transaction;
    UserView view(transaction, call.user_id, m_clock.now_ms());
    if (view.visible_task(task_id)) {
        int stamp = transaction.bump_user_stamp(call.user_id);
        transaction.set_viewed(call.user_id, task_id, transaction.current_seq(), stamp);
    }
    transaction.commit();
}

VizList Service::get_filtered_list(const std::u16string& session, const Filter& filter,
    std::int32_t project_id, const ListCursor& cursor, std::int32_t page_size,
    const std::u16string& text)
{
    Call call = open_call(session, TransactionKind::Read);
    UserView view(*call.transaction, call.user_id, m_clock.now_ms(), filter);
    VizList reply;
    std::optional<TaskRow> mark;
    if (cursor.present) {
        mark.emplace();
        mark->complete = cursor.complete;
        mark->date = cursor.date;
        mark->deadline = cursor.deadline;
        mark->title = cursor.title;
        mark->id = cursor.id;
    }
    int size = std::clamp(page_size, 1, 100);
    // Each project gives its own first page after the cursor from the list index; the page
    // is the first of their union.
    std::vector<int> scope;
    if (project_id < 1) {
        for (const auto& [id, access] : view.projects())
            scope.push_back(id);
    } else {
        scope.push_back(project_id);
    }
    auto fits
        = [&](const TaskRow* project) { return project && (text.empty() || project->tag == text); };
    std::vector<const TaskRow*> rows;
    for (int id : scope) {
        if (project_id < 1 && !fits(view.visible_task(id)))
            continue; // Every project is known already: no page for one the text rules out.
        std::optional<std::vector<const TaskRow*>> page
            = view.list_page(id, mark ? &*mark : nullptr, size);
        if (page && fits(view.visible_task(id)))
            rows.insert(rows.end(), page->begin(), page->end());
    }
    std::sort(rows.begin(), rows.end(),
        [](const TaskRow* a, const TaskRow* b) { return task_before(*a, *b); });
    if (rows.size() > std::size_t(size))
        rows.resize(std::size_t(size));
    std::set<int> in_page;
    for (const TaskRow* row : rows) {
        in_page.insert(row->id);
        view.load_unread(row->project_id);
    }
    std::set<int> listed;
    for (const TaskRow* row : rows) {
        for (int ancestor : view.ancestors(row->id)) {
            if (in_page.contains(ancestor) || !listed.insert(ancestor).second)
                continue;
            if (const TaskRow* parent = view.visible_task(ancestor))
                reply.mainList.push_back(view.to_wire(*parent));
        }
        reply.secondList.push_back(view.to_wire(*row));
    }
    call.transaction->commit();
    return reply;
}

} // namespace corvane::server
