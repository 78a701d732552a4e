#include "server/SqliteTransaction.h"

#include "server/SqliteConnection.h"
#include "server/SqliteStorage.h"

// The rows of sharing (permissions, members, invitations) and of history (changes, events,
// viewed marks).
namespace corvane::server {

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
    // Whoever joins again starts with nothing unread, as the join sequence value says.
    static constexpr char unread_sql[] = "DELETE FROM unread WHERE user_id = ? AND project_id = ?";
    db().prepare(sql)->bind(1, project_id).bind(2, user_id).run();
    db().prepare(unread_sql)->bind(1, user_id).bind(2, project_id).run();
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
    query
        ->bind_all(change.change_id, change.task_id, change.project_id, change.kind, change.text,
            change.complete, change.deadline, change.done_delta, change.plan_delta, change.title,
            change.responsible_id, change.status, change.time, change.user_id, change.author_id)
        .run();
    // Every member but the author has one more unread change on the task. A member who
    // joins later joins above this change, so it is never unread for them.
    static constexpr char unread_sql[]
        = "INSERT INTO unread (user_id, project_id, task_id, count)"
          " SELECT m.user_id, ?1, ?2, 1 FROM (SELECT owner_id AS user_id FROM tasks WHERE id = ?1"
          " UNION SELECT user_id FROM permissions WHERE project_id = ?1) m WHERE m.user_id <> ?3"
          " ON CONFLICT (user_id, project_id, task_id) DO UPDATE SET count = count + 1";
    db().prepare(unread_sql)
        ->bind(1, change.project_id)
        .bind(2, change.task_id)
        .bind(3, change.author_id)
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
    int user_id, int project_id, std::int64_t)
{
    static constexpr char sql[]
        = "SELECT task_id, count FROM unread WHERE user_id = ? AND project_id = ? AND count > 0";
    auto query = db().prepare(sql);
    query->bind(1, user_id).bind(2, project_id);
    std::vector<std::pair<int, int>> rows;
    while (query->step())
        rows.emplace_back(query->int32(0), query->int32(1));
    return rows;
}

int SqliteTransaction::task_unread_count(int user_id, int task_id, std::int64_t)
{
    static constexpr char sql[] = "SELECT count FROM unread WHERE task_id = ? AND user_id = ?";
    auto query = db().prepare(sql);
    query->bind(1, task_id).bind(2, user_id);
    return query->step() ? query->int32(0) : 0;
}

void SqliteTransaction::insert_event(const EventRow& event)
{
    static constexpr char sql[]
        = "INSERT INTO events (seq, kind, task_id, parent_id, project_id, audience)"
          " VALUES (?, ?, ?, ?, ?, ?)";
    auto query = db().prepare(sql);
    query
        ->bind_all(event.seq, int(event.kind), event.task_id, event.parent_id, event.project_id,
            event.audience)
        .run();
}

std::vector<EventRow> SqliteTransaction::events_after(std::int64_t after, int user_id, int limit)
{
    // What the user may see: events meant for them, and the rest of the projects they see now.
    static constexpr char sql[]
        = "SELECT seq, kind, task_id, parent_id, project_id, audience FROM events"
          " WHERE seq > ?1 AND (audience = ?2 OR (audience = 0 AND project_id IN"
          " (SELECT project_id FROM permissions WHERE user_id = ?2 UNION"
          " SELECT id FROM tasks WHERE owner_id = ?2 AND parent_id = 0))) ORDER BY seq LIMIT ?3";
    auto query = db().prepare(sql);
    query->bind(1, after).bind(2, user_id).bind(3, limit);
    std::vector<EventRow> rows;
    while (query->step())
        rows.push_back({ query->int64(0), EventKind(query->int32(1)), query->int32(2),
            query->int32(3), query->int32(4), query->int32(5) });
    return rows;
}

std::vector<int> SqliteTransaction::users_seeing_events(std::int64_t after, std::int64_t upto)
{
    // The same rule as events_after, from the events' side.
    static constexpr char sql[]
        = "WITH recent AS (SELECT project_id, audience FROM events WHERE seq > ?1 AND seq <= ?2)"
          " SELECT audience FROM recent WHERE audience <> 0"
          " UNION SELECT p.user_id FROM recent r JOIN permissions p ON p.project_id = r.project_id"
          " WHERE r.audience = 0"
          " UNION SELECT t.owner_id FROM recent r JOIN tasks t ON t.id = r.project_id"
          " WHERE r.audience = 0 AND t.parent_id = 0 ORDER BY 1";
    auto query = db().prepare(sql);
    query->bind(1, after).bind(2, upto);
    std::vector<int> users;
    while (query->step())
        users.push_back(query->int32(0));
    return users;
}

void SqliteTransaction::set_viewed(int user_id, int task_id, std::int64_t seq, int stamp)
{
    static constexpr char sql[]
        = "INSERT INTO viewed (user_id, task_id, viewed_seq, stamp) VALUES (?1, ?2, ?3, ?4)"
          " ON CONFLICT (user_id, task_id) DO UPDATE SET viewed_seq = ?3, stamp = ?4";
    static constexpr char unread_sql[] = "DELETE FROM unread WHERE task_id = ? AND user_id = ?";
    db().prepare(sql)->bind(1, user_id).bind(2, task_id).bind(3, seq).bind(4, stamp).run();
    db().prepare(unread_sql)->bind(1, task_id).bind(2, user_id).run();
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
