#include "server/SqliteTransaction.h"

#include "server/SqliteConnection.h"
#include "server/SqliteStorage.h"

#include <sqlite3.h>

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

static UserRow read_user(SqliteStatement& row)
{
    UserRow user;
    user.id = row.int32(0);
    user.account = row.text(1);
    user.name = row.text(2);
    Text hash = row.text(3);
    user.password_hash.assign(hash.begin(), hash.end());
    user.stamp = row.int32(4);
    return user;
}

std::optional<UserRow> SqliteTransaction::find_user(int id)
{
    static constexpr char sql[]
        = "SELECT id, account, name, password_hash, stamp FROM users WHERE id = ?";
    auto query = db().prepare(sql);
    query->bind(1, id);
    if (!query->step())
        return std::nullopt;
    return read_user(*query);
}

std::optional<UserRow> SqliteTransaction::find_user_by_account(const Text& account)
{
    static constexpr char sql[]
        = "SELECT id, account, name, password_hash, stamp FROM users WHERE account = ?";
    auto query = db().prepare(sql);
    query->bind(1, account);
    if (!query->step())
        return std::nullopt;
    return read_user(*query);
}

int SqliteTransaction::insert_user(const Text& account, const Text& name, const std::string& hash)
{
    static constexpr char sql[]
        = "INSERT INTO users (account, name, password_hash) VALUES (?, ?, ?) RETURNING id";
    auto query = db().prepare(sql);
    query->bind(1, account).bind(2, name).bind(3, Text(hash.begin(), hash.end()));
    if (!query->step())
        throw StorageError("user insert returned nothing");
    int id = query->int32(0);
    while (query->step()) { }
    return id;
}

int SqliteTransaction::bump_user_stamp(int user_id)
{
    static constexpr char sql[] = "UPDATE users SET stamp = stamp + 1 WHERE id = ? RETURNING stamp";
    auto query = db().prepare(sql);
    query->bind(1, user_id);
    int stamp = query->step() ? query->int32(0) : 0;
    while (query->step()) { }
    return stamp;
}

std::vector<int> SqliteTransaction::all_user_ids()
{
    static constexpr char sql[] = "SELECT id FROM users ORDER BY id";
    auto query = db().prepare(sql);
    std::vector<int> ids;
    while (query->step())
        ids.push_back(query->int32(0));
    return ids;
}

void SqliteTransaction::insert_login_key(const Hash& hash, int user_id, std::int64_t now)
{
    static constexpr char sql[]
        = "INSERT INTO login_keys (hash, user_id, last_use) VALUES (?, ?, ?)";
    auto query = db().prepare(sql);
    query->bind_blob(1, hash).bind(2, user_id).bind(3, now).run();
}

void SqliteTransaction::prune_login_keys(int user_id, int keep)
{
    static constexpr char sql[]
        = "DELETE FROM login_keys WHERE user_id = ?1 AND hash NOT IN (SELECT hash FROM login_keys"
          " WHERE user_id = ?1 ORDER BY last_use DESC, rowid DESC LIMIT ?2)";
    auto query = db().prepare(sql);
    query->bind(1, user_id).bind(2, keep).run();
}

std::optional<KeyRecord> SqliteTransaction::find_login_key(const Hash& hash)
{
    static constexpr char sql[] = "SELECT user_id, last_use FROM login_keys WHERE hash = ?";
    auto query = db().prepare(sql);
    query->bind_blob(1, hash);
    if (!query->step())
        return std::nullopt;
    return KeyRecord { query->int32(0), query->int64(1) };
}

void SqliteTransaction::touch_login_key(const Hash& hash, std::int64_t now)
{
    static constexpr char sql[] = "UPDATE login_keys SET last_use = ? WHERE hash = ?";
    auto query = db().prepare(sql);
    query->bind(1, now).bind_blob(2, hash).run();
}

int SqliteTransaction::delete_login_keys(std::optional<int> user_id)
{
    static constexpr char one[] = "DELETE FROM login_keys WHERE user_id = ?";
    static constexpr char all[] = "DELETE FROM login_keys";
    auto query = db().prepare(user_id ? one : all);
    if (user_id)
        query->bind(1, *user_id);
    query->run();
    return sqlite3_changes(db().handle());
}

void SqliteTransaction::insert_session(const Hash& hash, int user_id, std::int64_t now)
{
    static constexpr char sql[] = "INSERT INTO sessions (hash, user_id, last_use) VALUES (?, ?, ?)";
    auto query = db().prepare(sql);
    query->bind_blob(1, hash).bind(2, user_id).bind(3, now).run();
}

std::optional<KeyRecord> SqliteTransaction::find_session(const Hash& hash)
{
    static constexpr char sql[] = "SELECT user_id, last_use FROM sessions WHERE hash = ?";
    auto query = db().prepare(sql);
    query->bind_blob(1, hash);
    if (!query->step())
        return std::nullopt;
    return KeyRecord { query->int32(0), query->int64(1) };
}

void SqliteTransaction::touch_session(const Hash& hash, std::int64_t now)
{
    static constexpr char sql[] = "UPDATE sessions SET last_use = ? WHERE hash = ?";
    auto query = db().prepare(sql);
    query->bind(1, now).bind_blob(2, hash).run();
}

void SqliteTransaction::delete_session(const Hash& hash)
{
    static constexpr char sql[] = "DELETE FROM sessions WHERE hash = ?";
    auto query = db().prepare(sql);
    query->bind_blob(1, hash).run();
}

int SqliteTransaction::delete_sessions(std::optional<int> user_id)
{
    static constexpr char one[] = "DELETE FROM sessions WHERE user_id = ?";
    static constexpr char all[] = "DELETE FROM sessions";
    auto query = db().prepare(user_id ? one : all);
    if (user_id)
        query->bind(1, *user_id);
    query->run();
    return sqlite3_changes(db().handle());
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

int SqliteTransaction::insert_task(const TaskRow& task)
{
    static constexpr char sql[]
        = "INSERT INTO tasks (parent_id, project_id, owner_id, responsible_id, title, tag, status,"
          " complete, done, plan, deadline, date, child_count, created_seq)"
          " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) RETURNING id";
    auto query = db().prepare(sql);
    query->bind(1, task.parent_id)
        .bind(2, task.project_id)
        .bind(3, task.owner_id)
        .bind(4, task.responsible_id)
        .bind(5, task.title)
        .bind(6, task.tag)
        .bind(7, task.status)
        .bind(8, task.complete ? 1 : 0)
        .bind(9, task.done)
        .bind(10, task.plan)
        .bind(11, task.deadline)
        .bind(12, task.date)
        .bind(13, task.child_count)
        .bind(14, task.created_seq);
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
    query->bind(1, task.parent_id)
        .bind(2, task.owner_id)
        .bind(3, task.responsible_id)
        .bind(4, task.title)
        .bind(5, task.tag)
        .bind(6, task.status)
        .bind(7, task.complete ? 1 : 0)
        .bind(8, task.done)
        .bind(9, task.plan)
        .bind(10, task.deadline)
        .bind(11, task.child_count)
        .bind(12, task.project_id)
        .bind(13, task.id)
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
    for (int id : ids) {
        db().prepare(task_sql)->bind(1, id).run();
        db().prepare(changes_sql)->bind(1, id).run();
        db().prepare(viewed_sql)->bind(1, id).run();
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

std::vector<PermissionRow> SqliteTransaction::user_permissions(int user_id)
{
    static constexpr char sql[]
        = "SELECT project_id, user_id, level, joined_seq FROM permissions WHERE user_id = ?";
    auto query = db().prepare(sql);
    query->bind(1, user_id);
    std::vector<PermissionRow> rows;
    while (query->step())
        rows.push_back({ query->int32(0), query->int32(1), query->int32(2), query->int64(3), {} });
    return rows;
}

std::vector<PermissionRow> SqliteTransaction::project_permissions(int project_id)
{
    static constexpr char sql[]
        = "SELECT p.project_id, p.user_id, p.level, p.joined_seq, u.account FROM permissions p"
          " JOIN users u ON u.id = p.user_id WHERE p.project_id = ? ORDER BY p.joined_seq, "
          "p.user_id";
    auto query = db().prepare(sql);
    query->bind(1, project_id);
    std::vector<PermissionRow> rows;
    while (query->step())
        rows.push_back(
            { query->int32(0), query->int32(1), query->int32(2), query->int64(3), query->text(4) });
    return rows;
}

std::optional<PermissionRow> SqliteTransaction::find_permission(int project_id, int user_id)
{
    static constexpr char sql[] = "SELECT project_id, user_id, level, joined_seq FROM permissions"
                                  " WHERE project_id = ? AND user_id = ?";
    auto query = db().prepare(sql);
    query->bind(1, project_id).bind(2, user_id);
    if (!query->step())
        return std::nullopt;
    return PermissionRow { query->int32(0), query->int32(1), query->int32(2), query->int64(3), {} };
}

void SqliteTransaction::insert_permission(const PermissionRow& permission)
{
    static constexpr char sql[]
        = "INSERT INTO permissions (project_id, user_id, level, joined_seq) VALUES (?, ?, ?, ?)";
    auto query = db().prepare(sql);
    query->bind(1, permission.project_id)
        .bind(2, permission.user_id)
        .bind(3, permission.level)
        .bind(4, permission.joined_seq)
        .run();
}

void SqliteTransaction::set_permission_level(int project_id, int user_id, int level)
{
    static constexpr char sql[]
        = "UPDATE permissions SET level = ? WHERE project_id = ? AND user_id = ?";
    auto query = db().prepare(sql);
    query->bind(1, level).bind(2, project_id).bind(3, user_id).run();
}

void SqliteTransaction::delete_permission(int project_id, int user_id)
{
    static constexpr char sql[] = "DELETE FROM permissions WHERE project_id = ? AND user_id = ?";
    auto query = db().prepare(sql);
    query->bind(1, project_id).bind(2, user_id).run();
}

void SqliteTransaction::delete_project_permissions(int project_id)
{
    static constexpr char sql[] = "DELETE FROM permissions WHERE project_id = ?";
    auto query = db().prepare(sql);
    query->bind(1, project_id).run();
}

void SqliteTransaction::add_member_ever(int project_id, int user_id)
{
    static constexpr char sql[]
        = "INSERT OR IGNORE INTO members_ever (project_id, user_id) VALUES (?, ?)";
    auto query = db().prepare(sql);
    query->bind(1, project_id).bind(2, user_id).run();
}

std::vector<int> SqliteTransaction::member_ever_projects(int user_id)
{
    static constexpr char sql[] = "SELECT project_id FROM members_ever WHERE user_id = ?";
    auto query = db().prepare(sql);
    query->bind(1, user_id);
    std::vector<int> ids;
    while (query->step())
        ids.push_back(query->int32(0));
    return ids;
}

static InvitationRow read_invitation(SqliteStatement& row)
{
    InvitationRow invitation;
    invitation.id = row.int32(0);
    invitation.project_id = row.int32(1);
    invitation.address = row.text(2);
    invitation.level = row.int32(3);
    invitation.inviter_id = row.int32(4);
    invitation.expires = row.int64(5);
    return invitation;
}

std::vector<InvitationRow> SqliteTransaction::project_invitations(int project_id, std::int64_t now)
{
    static constexpr char sql[]
        = "SELECT id, project_id, address, level, inviter_id, expires FROM invitations"
          " WHERE project_id = ? AND expires > ? ORDER BY id";
    auto query = db().prepare(sql);
    query->bind(1, project_id).bind(2, now);
    std::vector<InvitationRow> rows;
    while (query->step())
        rows.push_back(read_invitation(*query));
    return rows;
}

std::optional<InvitationRow> SqliteTransaction::find_invitation(int project_id, const Text& address)
{
    static constexpr char sql[]
        = "SELECT id, project_id, address, level, inviter_id, expires FROM invitations"
          " WHERE project_id = ? AND address = ? ORDER BY id DESC LIMIT 1";
    auto query = db().prepare(sql);
    query->bind(1, project_id).bind(2, address);
    if (!query->step())
        return std::nullopt;
    return read_invitation(*query);
}

std::optional<InvitationRow> SqliteTransaction::find_invitation_by_ticket(
    const Hash& hash, std::int64_t now)
{
    static constexpr char sql[]
        = "SELECT id, project_id, address, level, inviter_id, expires FROM invitations"
          " WHERE ticket_hash = ? AND expires > ?";
    auto query = db().prepare(sql);
    query->bind_blob(1, hash).bind(2, now);
    if (!query->step())
        return std::nullopt;
    return read_invitation(*query);
}

int SqliteTransaction::insert_invitation(const InvitationRow& invitation, const Hash& ticket_hash)
{
    static constexpr char sql[]
        = "INSERT INTO invitations (project_id, address, level, inviter_id, ticket_hash, expires)"
          " VALUES (?, ?, ?, ?, ?, ?) RETURNING id";
    auto query = db().prepare(sql);
    query->bind(1, invitation.project_id)
        .bind(2, invitation.address)
        .bind(3, invitation.level)
        .bind(4, invitation.inviter_id)
        .bind_blob(5, ticket_hash)
        .bind(6, invitation.expires);
    if (!query->step())
        throw StorageError("invitation insert returned nothing");
    int id = query->int32(0);
    while (query->step()) { }
    return id;
}

void SqliteTransaction::set_invitation_ticket(
    int invitation_id, const Hash& ticket_hash, std::int64_t expires)
{
    static constexpr char sql[]
        = "UPDATE invitations SET ticket_hash = ?, expires = ? WHERE id = ?";
    auto query = db().prepare(sql);
    query->bind_blob(1, ticket_hash).bind(2, expires).bind(3, invitation_id).run();
}

void SqliteTransaction::delete_invitation(int invitation_id)
{
    static constexpr char sql[] = "DELETE FROM invitations WHERE id = ?";
    auto query = db().prepare(sql);
    query->bind(1, invitation_id).run();
}

void SqliteTransaction::delete_project_invitations(int project_id)
{
    static constexpr char sql[] = "DELETE FROM invitations WHERE project_id = ?";
    auto query = db().prepare(sql);
    query->bind(1, project_id).run();
}

void SqliteTransaction::insert_change(const ChangeRow& change)
{
    static constexpr char sql[]
        = "INSERT INTO changes (change_id, task_id, project_id, kind, text, complete, deadline,"
          " done_delta, plan_delta, title, responsible_id, status, time, user_id, author_id)"
          " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
    auto query = db().prepare(sql);
    query->bind(1, change.change_id)
        .bind(2, change.task_id)
        .bind(3, change.project_id)
        .bind(4, change.kind)
        .bind(5, change.text)
        .bind(6, change.complete)
        .bind(7, change.deadline)
        .bind(8, change.done_delta)
        .bind(9, change.plan_delta)
        .bind(10, change.title)
        .bind(11, change.responsible_id)
        .bind(12, change.status)
        .bind(13, change.time)
        .bind(14, change.user_id)
        .bind(15, change.author_id)
        .run();
}

#define CHANGE_COLUMNS                                                                             \
    "change_id, task_id, project_id, kind, text, complete, deadline, done_delta, plan_delta, "     \
    "title, responsible_id, status, time, user_id, author_id"

static ChangeRow read_change(SqliteStatement& row)
{
    ChangeRow change;
    change.change_id = row.int64(0);
    change.task_id = row.int32(1);
    change.project_id = row.int32(2);
    change.kind = row.int32(3);
    change.text = row.text(4);
    change.complete = row.int32(5);
    change.deadline = row.int64(6);
    change.done_delta = row.int32(7);
    change.plan_delta = row.int32(8);
    change.title = row.text(9);
    change.responsible_id = row.int32(10);
    change.status = row.int32(11);
    change.time = row.int64(12);
    change.user_id = row.int32(13);
    change.author_id = row.int32(14);
    return change;
}

std::vector<ChangeRow> SqliteTransaction::task_changes_below(
    int task_id, std::int64_t below, int limit)
{
    static constexpr char sql[] = "SELECT " CHANGE_COLUMNS " FROM changes WHERE task_id = ?"
                                  " AND change_id <= ? ORDER BY change_id DESC LIMIT ?";
    auto query = db().prepare(sql);
    query->bind(1, task_id).bind(2, below).bind(3, limit);
    std::vector<ChangeRow> rows;
    while (query->step())
        rows.push_back(read_change(*query));
    return rows;
}

std::vector<ChangeRow> SqliteTransaction::task_changes_after(int task_id, std::int64_t after)
{
    static constexpr char sql[] = "SELECT " CHANGE_COLUMNS " FROM changes WHERE task_id = ?"
                                  " AND change_id > ? ORDER BY change_id DESC";
    auto query = db().prepare(sql);
    query->bind(1, task_id).bind(2, after);
    std::vector<ChangeRow> rows;
    while (query->step())
        rows.push_back(read_change(*query));
    return rows;
}

std::vector<std::pair<int, int>> SqliteTransaction::unread_counts(
    int user_id, int project_id, std::int64_t joined)
{
    static constexpr char sql[]
        = "SELECT c.task_id, COUNT(*) FROM changes c LEFT JOIN viewed v"
          " ON v.user_id = ?1 AND v.task_id = c.task_id"
          " WHERE c.project_id = ?2 AND c.change_id > ?3 AND c.author_id <> ?1"
          " AND c.change_id > IFNULL(v.viewed_seq, 0) GROUP BY c.task_id";
    auto query = db().prepare(sql);
    query->bind(1, user_id).bind(2, project_id).bind(3, joined);
    std::vector<std::pair<int, int>> rows;
    while (query->step())
        rows.emplace_back(query->int32(0), query->int32(1));
    return rows;
}

int SqliteTransaction::task_unread_count(int user_id, int task_id, std::int64_t joined)
{
    static constexpr char sql[]
        = "SELECT COUNT(*) FROM changes c LEFT JOIN viewed v ON v.user_id = ?1 AND v.task_id = ?2"
          " WHERE c.task_id = ?2 AND c.change_id > ?3 AND c.author_id <> ?1"
          " AND c.change_id > IFNULL(v.viewed_seq, 0)";
    auto query = db().prepare(sql);
    query->bind(1, user_id).bind(2, task_id).bind(3, joined);
    return query->step() ? query->int32(0) : 0;
}

void SqliteTransaction::insert_event(const EventRow& event)
{
    static constexpr char sql[]
        = "INSERT INTO events (seq, kind, task_id, parent_id, project_id, audience)"
          " VALUES (?, ?, ?, ?, ?, ?)";
    auto query = db().prepare(sql);
    query->bind(1, event.seq)
        .bind(2, int(event.kind))
        .bind(3, event.task_id)
        .bind(4, event.parent_id)
        .bind(5, event.project_id)
        .bind(6, event.audience)
        .run();
}

std::vector<EventRow> SqliteTransaction::events_after(std::int64_t after, int limit)
{
    static constexpr char sql[]
        = "SELECT seq, kind, task_id, parent_id, project_id, audience FROM events"
          " WHERE seq > ? ORDER BY seq LIMIT ?";
    auto query = db().prepare(sql);
    query->bind(1, after).bind(2, limit);
    std::vector<EventRow> rows;
    while (query->step())
        rows.push_back({ query->int64(0), EventKind(query->int32(1)), query->int32(2),
            query->int32(3), query->int32(4), query->int32(5) });
    return rows;
}

void SqliteTransaction::set_viewed(int user_id, int task_id, std::int64_t seq, int stamp)
{
    static constexpr char sql[]
        = "INSERT INTO viewed (user_id, task_id, viewed_seq, stamp) VALUES (?1, ?2, ?3, ?4)"
          " ON CONFLICT (user_id, task_id) DO UPDATE SET viewed_seq = ?3, stamp = ?4";
    auto query = db().prepare(sql);
    query->bind(1, user_id).bind(2, task_id).bind(3, seq).bind(4, stamp).run();
}

std::vector<ViewedRow> SqliteTransaction::viewed_after_stamp(int user_id, int stamp)
{
    static constexpr char sql[]
        = "SELECT task_id, viewed_seq, stamp FROM viewed WHERE user_id = ? AND stamp > ?";
    auto query = db().prepare(sql);
    query->bind(1, user_id).bind(2, stamp);
    std::vector<ViewedRow> rows;
    while (query->step())
        rows.push_back({ query->int32(0), query->int64(1), query->int32(2) });
    return rows;
}

} // namespace corvane::server
