#include "server/SqliteTransaction.h"

#include "server/SqliteConnection.h"
#include "server/SqliteStorage.h"
#include "server/UserView.h"

#include <sqlite3.h>

#include <algorithm>
#include <iterator>
#include <unordered_map>

namespace corvane::server {

SqliteTransaction::SqliteTransaction(SqliteStorage& storage, TransactionKind kind)
    : m_storage(storage)
{
    if (storage.m_in_memory) {
        m_memory_guard = std::unique_lock(storage.m_memory_lock);
        m_connection = storage.m_memory_connection.get();
    } else {
        if (kind == TransactionKind::Write)
            m_write_guard = std::unique_lock(storage.m_write_lock);
        m_leased = storage.take_connection();
        m_connection = m_leased.get();
    }
    try {
        db().execute(kind == TransactionKind::Write ? "BEGIN IMMEDIATE" : "BEGIN");
    } catch (...) {
        if (m_leased)
            m_storage.give_back(std::move(m_leased));
        throw;
    }
    m_open = true;
}

SqliteTransaction::~SqliteTransaction()
{
    if (m_open)
        sqlite3_exec(db().handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    if (m_leased)
        m_storage.give_back(std::move(m_leased));
}

void SqliteTransaction::commit()
{
    db().execute("COMMIT");
    m_open = false;
}

std::int64_t SqliteTransaction::current_seq()
{
    static constexpr char sql[] = "SELECT value FROM counters WHERE name = 'seq'";
    auto query = db().prepare(sql);
    return query->step() ? query->int64(0) : 0;
}

std::int64_t SqliteTransaction::count_sessions()
{
    static constexpr char sql[] = "SELECT count(*) FROM sessions";
    auto query = db().prepare(sql);
    return query->step() ? query->int64(0) : 0;
}

std::int64_t SqliteTransaction::next_seq()
{
    static constexpr char sql[]
        = "UPDATE counters SET value = value + 1 WHERE name = 'seq' RETURNING value";
    auto query = db().prepare(sql);
    if (!query->step())
        throw StorageError("sequence counter missing");
    std::int64_t value = query->int64(0);
    while (query->step()) { }
    return value;
}

#define TASK_COLUMNS                                                                               \
    "id, parent_id, project_id, owner_id, responsible_id, title, tag, status, complete, done, "    \
    "plan, deadline, date, child_count, created_seq"

static TaskRow read_task(SqliteStatement& row)
{
    TaskRow task;
    task.id = row.int32(0);
    task.parent_id = row.int32(1);
    task.project_id = row.int32(2);
    task.owner_id = row.int32(3);
    task.responsible_id = row.int32(4);
    task.title = row.text(5);
    task.tag = row.text(6);
    task.status = row.int32(7);
    task.complete = row.int64(8) != 0;
    task.done = row.int32(9);
    task.plan = row.int32(10);
    task.deadline = row.int64(11);
    task.date = row.int64(12);
    task.child_count = row.int32(13);
    task.created_seq = row.int64(14);
    return task;
}

std::optional<TaskRow> SqliteTransaction::find_task(int id)
{
    static constexpr char sql[] = "SELECT " TASK_COLUMNS " FROM tasks WHERE id = ?";
    auto query = db().prepare(sql);
    query->bind(1, id);
    if (!query->step())
        return std::nullopt;
    return read_task(*query);
}

std::vector<TaskRow> SqliteTransaction::project_tasks(int project_id)
{
    static constexpr char sql[] = "SELECT " TASK_COLUMNS " FROM tasks WHERE project_id = ?";
    auto query = db().prepare(sql);
    query->bind(1, project_id);
    std::vector<TaskRow> tasks;
    while (query->step())
        tasks.push_back(read_task(*query));
    return tasks;
}

std::optional<TaskInProject> SqliteTransaction::find_task_in_project(int id, int user_id)
{
    std::optional<TaskRow> task = find_task(id);
    if (!task)
        return std::nullopt;
    TaskInProject found { std::move(*task), std::nullopt, std::nullopt };
    found.project = found.task.project_id == id ? found.task : find_task(found.task.project_id);
    if (found.project && found.project->owner_id != user_id)
        found.permission = find_permission(found.task.project_id, user_id);
    return found;
}

std::vector<std::pair<TaskRow, int>> SqliteTransaction::child_tasks_unread(
    int user_id, int parent_id)
{
    std::unordered_map<int, int> counts;
    for (auto [task_id, count] : child_unread_counts(user_id, parent_id))
        counts[task_id] = count;
    std::vector<std::pair<TaskRow, int>> rows;
    for (TaskRow& child : child_tasks(parent_id)) {
        auto found = counts.find(child.id);
        int count = found == counts.end() ? 0 : found->second;
        rows.emplace_back(std::move(child), count);
    }
    return rows;
}

std::vector<SharingEntry> SqliteTransaction::project_sharing(
    int project_id, int owner_id, std::int64_t now)
{
    std::vector<SharingEntry> list;
    std::optional<UserRow> owner = find_user(owner_id);
    list.push_back({ owner_level, owner ? owner->account : Text {}, owner_id });
    for (const PermissionRow& row : project_permissions(project_id))
        list.push_back({ row.level, row.account, row.user_id });
    for (const InvitationRow& row : project_invitations(project_id, now))
        list.push_back({ row.level, row.address, 0 });
    return list;
}

std::vector<TaskRow> SqliteTransaction::projects_tasks(const std::vector<int>& project_ids)
{
    // In process, one indexed query per project costs no more than one query for all.
    std::vector<TaskRow> tasks;
    for (int project_id : project_ids) {
        std::vector<TaskRow> part = project_tasks(project_id);
        tasks.insert(tasks.end(), std::make_move_iterator(part.begin()),
            std::make_move_iterator(part.end()));
    }
    return tasks;
}

std::vector<TaskRow> SqliteTransaction::child_tasks(int parent_id)
{
    static constexpr char sql[] = "SELECT " TASK_COLUMNS " FROM tasks WHERE parent_id = ?";
    auto query = db().prepare(sql);
    query->bind(1, parent_id);
    std::vector<TaskRow> tasks;
    while (query->step())
        tasks.push_back(read_task(*query));
    return tasks;
}

std::vector<TaskRow> SqliteTransaction::list_page(int project_id, const TaskRow* after, int limit)
{
    if (db().is_utf16_file()) {
        // A file from an older server compares UTF-16 bytes, not units: sort here instead.
        std::vector<TaskRow> rows;
        for (TaskRow& row : project_tasks(project_id))
            if (row.parent_id != 0)
                rows.push_back(std::move(row));
        std::sort(rows.begin(), rows.end(), task_before);
        auto start = after ? std::upper_bound(rows.begin(), rows.end(), *after, task_before)
                           : rows.begin();
        auto end = rows.end() - start > limit ? start + limit : rows.end();
        return std::vector<TaskRow>(std::make_move_iterator(start), std::make_move_iterator(end));
    }
    // list_date and list_undated are indexed virtual columns that turn the mixed directions
    // of the order into one ascending row value, so a page is one index range.
    static constexpr char first_sql[] = "SELECT " TASK_COLUMNS " FROM tasks WHERE project_id = ?1"
                                        " AND parent_id <> 0 ORDER BY complete, list_date,"
                                        " list_undated, deadline, title, id LIMIT ?2";
    static constexpr char after_sql[] = "SELECT " TASK_COLUMNS " FROM tasks WHERE project_id = ?1"
                                        " AND parent_id <> 0 AND (complete, list_date,"
                                        " list_undated, deadline, title, id) > (?3, ?4, ?5, ?6,"
                                        " ?7, ?8) ORDER BY complete, list_date, list_undated,"
                                        " deadline, title, id LIMIT ?2";
    auto query = db().prepare(after ? after_sql : first_sql);
    query->bind(1, project_id).bind(2, limit);
    if (after)
        query->bind(3, after->complete ? 1 : 0)
            .bind(4, -after->date)
            .bind(5, after->deadline == 0 ? 1 : 0)
            .bind(6, after->deadline)
            .bind(7, after->title)
            .bind(8, after->id);
    std::vector<TaskRow> tasks;
    while (query->step())
        tasks.push_back(read_task(*query));
    return tasks;
}

std::vector<VisibleProject> SqliteTransaction::user_projects(int user_id)
{
    static constexpr char sql[]
        = "SELECT " TASK_COLUMNS ", 3, created_seq FROM tasks WHERE owner_id = ?1 AND parent_id = 0"
          " UNION ALL SELECT " TASK_COLUMNS ", level, joined_seq FROM tasks JOIN (SELECT"
          " project_id AS granted, level, joined_seq FROM permissions WHERE user_id = ?1)"
          " ON tasks.id = granted";
    auto query = db().prepare(sql);
    query->bind(1, user_id);
    std::vector<VisibleProject> rows;
    while (query->step())
        rows.push_back({ read_task(*query), query->int32(15), query->int64(16) });
    return rows;
}

int SqliteTransaction::insert_task(const TaskRow& task)
{
    static constexpr char sql[]
        = "INSERT INTO tasks (parent_id, project_id, owner_id, responsible_id, title, tag, status,"
          " complete, done, plan, deadline, date, child_count, created_seq)"
          " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) RETURNING id";
    auto query = db().prepare(sql);
    query->bind_all(task.parent_id, task.project_id, task.owner_id, task.responsible_id, task.title,
        task.tag, task.status, task.complete ? 1 : 0, task.done, task.plan, task.deadline,
        task.date, task.child_count, task.created_seq);
    if (!query->step())
        throw StorageError("task insert returned nothing");
    int id = query->int32(0);
    while (query->step()) { }
    return id;
}

void SqliteTransaction::update_task(const TaskRow& task)
{
    static constexpr char sql[]
        = "UPDATE tasks SET parent_id = ?, owner_id = ?, responsible_id = ?, title = ?, tag = ?,"
          " status = ?, complete = ?, done = ?, plan = ?, deadline = ?, child_count = ?,"
          " project_id = ? WHERE id = ?";
    auto query = db().prepare(sql);
    query
        ->bind_all(task.parent_id, task.owner_id, task.responsible_id, task.title, task.tag,
            task.status, task.complete ? 1 : 0, task.done, task.plan, task.deadline,
            task.child_count, task.project_id, task.id)
        .run();
}

void SqliteTransaction::adjust_child_count(int task_id, int delta)
{
    static constexpr char sql[]
        = "UPDATE tasks SET child_count = MAX(0, child_count + ?) WHERE id = ?";
    auto query = db().prepare(sql);
    query->bind(1, delta).bind(2, task_id).run();
}

void SqliteTransaction::delete_tasks(const std::vector<int>& ids)
{
    static constexpr char task_sql[] = "DELETE FROM tasks WHERE id = ?";
    static constexpr char changes_sql[] = "DELETE FROM changes WHERE task_id = ?";
    static constexpr char viewed_sql[] = "DELETE FROM viewed WHERE task_id = ?";
    static constexpr char unread_sql[] = "DELETE FROM unread WHERE task_id = ?";
    for (int id : ids) {
        db().prepare(task_sql)->bind(1, id).run();
        db().prepare(changes_sql)->bind(1, id).run();
        db().prepare(viewed_sql)->bind(1, id).run();
        db().prepare(unread_sql)->bind(1, id).run();
    }
}

int SqliteTransaction::count_children(int parent_id)
{
    static constexpr char sql[] = "SELECT COUNT(*) FROM tasks WHERE parent_id = ?";
    auto query = db().prepare(sql);
    query->bind(1, parent_id);
    return query->step() ? query->int32(0) : 0;
}

int SqliteTransaction::count_owned_projects(int user_id)
{
    static constexpr char sql[] = "SELECT COUNT(*) FROM tasks WHERE owner_id = ? AND parent_id = 0";
    auto query = db().prepare(sql);
    query->bind(1, user_id);
    return query->step() ? query->int32(0) : 0;
}

std::vector<std::pair<int, std::int64_t>> SqliteTransaction::owned_projects(int user_id)
{
    static constexpr char sql[]
        = "SELECT id, created_seq FROM tasks WHERE owner_id = ? AND parent_id = 0";
    auto query = db().prepare(sql);
    query->bind(1, user_id);
    std::vector<std::pair<int, std::int64_t>> rows;
    while (query->step())
        rows.emplace_back(query->int32(0), query->int64(1));
    return rows;
}

} // namespace corvane::server
