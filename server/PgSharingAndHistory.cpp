#include "server/PgConnection.h"
#include "server/PgTransaction.h"

// The rows of sharing (permissions, members, invitations) and of history (changes, events,
// viewed marks).
namespace corvane::server {

static std::vector<PermissionRow> read_permissions(const PgResult& result, bool with_account)
{
    std::vector<PermissionRow> rows;
    for (int row = 0; row < result.rows(); ++row)
        rows.push_back({ result.int32(row, 0), result.int32(row, 1), result.int32(row, 2),
            result.int64(row, 3), with_account ? result.text(row, 4) : Text() });
    return rows;
}

std::vector<PermissionRow> PgTransaction::user_permissions(int user_id)
{
    static constexpr char sql[]
        = "SELECT project_id, user_id, level, joined_seq FROM permissions WHERE user_id = $1";
    return read_permissions(run(sql, PgParams().add(user_id)), false);
}

std::vector<PermissionRow> PgTransaction::project_permissions(int project_id)
{
    static constexpr char sql[]
        = "SELECT p.project_id, p.user_id, p.level, p.joined_seq, u.account FROM permissions p"
          " JOIN users u ON u.id = p.user_id WHERE p.project_id = $1"
          " ORDER BY p.joined_seq, p.user_id";
    return read_permissions(run(sql, PgParams().add(project_id)), true);
}

// One statement for the three parts; part and order keys sort them as asked. The owner comes
// from the project's row, so the statement can go out before that row is read.
const char pg_project_sharing_sql[]
    = "SELECT 0 AS part, 3::bigint, u.account, u.id, 0::bigint AS k1, 0::bigint AS k2"
      " FROM tasks t JOIN users u ON u.id = t.owner_id WHERE t.id = $1 UNION ALL SELECT 1,"
      " p.level, u.account, p.user_id, p.joined_seq, p.user_id FROM permissions p JOIN users u"
      " ON u.id = p.user_id WHERE p.project_id = $1 UNION ALL SELECT 2, level, address, 0, id, 0"
      " FROM invitations WHERE project_id = $1 AND expires > $2 ORDER BY part, k1, k2";

std::vector<SharingEntry> pg_read_project_sharing(const PgResult& result, int owner_id)
{
    std::vector<SharingEntry> list;
    if (result.rows() == 0 || result.int32(0, 0) != 0)
        list.push_back({ 3, Text {}, owner_id }); // The owner's account is gone.
    for (int row = 0; row < result.rows(); ++row)
        list.push_back({ result.int32(row, 1), result.text(row, 2), result.int32(row, 3) });
    return list;
}

std::vector<SharingEntry> PgTransaction::project_sharing(
    int project_id, int owner_id, std::int64_t now)
{
    return pg_read_project_sharing(
        run(pg_project_sharing_sql, PgParams().add(project_id).add(now)), owner_id);
}

std::optional<PermissionRow> PgTransaction::find_permission(int project_id, int user_id)
{
    static constexpr char sql[] = "SELECT project_id, user_id, level, joined_seq FROM permissions"
                                  " WHERE project_id = $1 AND user_id = $2";
    std::vector<PermissionRow> rows
        = read_permissions(run(sql, PgParams().add(project_id).add(user_id)), false);
    if (rows.empty())
        return std::nullopt;
    return rows.front();
}

void PgTransaction::insert_permission(const PermissionRow& permission)
{
    static constexpr char sql[] = "INSERT INTO permissions (project_id, user_id, level, joined_seq)"
                                  " VALUES ($1, $2, $3, $4)";
    run(sql,
        PgParams().add_all(
            permission.project_id, permission.user_id, permission.level, permission.joined_seq));
}

void PgTransaction::set_permission_level(int project_id, int user_id, int level)
{
    static constexpr char sql[]
        = "UPDATE permissions SET level = $1 WHERE project_id = $2 AND user_id = $3";
    run(sql, PgParams().add_all(level, project_id, user_id));
}

void PgTransaction::delete_permission(int project_id, int user_id)
{
    static constexpr char sql[] = "DELETE FROM permissions WHERE project_id = $1 AND user_id = $2";
    // Whoever joins again starts with nothing unread, as the join sequence value says.
    static constexpr char unread_sql[]
        = "DELETE FROM unread WHERE user_id = $2 AND project_id = $1";
    PgParams params;
    params.add(project_id).add(user_id);
    run(sql, params);
    run(unread_sql, params);
}

void PgTransaction::delete_project_permissions(int project_id)
{
    static constexpr char sql[] = "DELETE FROM permissions WHERE project_id = $1";
    run(sql, PgParams().add(project_id));
}

void PgTransaction::add_member_ever(int project_id, int user_id)
{
    static constexpr char sql[] = "INSERT INTO members_ever (project_id, user_id) VALUES ($1, $2)"
                                  " ON CONFLICT DO NOTHING";
    run(sql, PgParams().add(project_id).add(user_id));
}

std::vector<int> PgTransaction::member_ever_projects(int user_id)
{
    static constexpr char sql[] = "SELECT project_id FROM members_ever WHERE user_id = $1";
    PgResult result = run(sql, PgParams().add(user_id));
    std::vector<int> ids;
    for (int row = 0; row < result.rows(); ++row)
        ids.push_back(result.int32(row, 0));
    return ids;
}

#define INVITATION_COLUMNS "id, project_id, address, level, inviter_id, expires"

static std::vector<InvitationRow> read_invitations(const PgResult& result)
{
    std::vector<InvitationRow> rows;
    for (int row = 0; row < result.rows(); ++row)
        rows.push_back({ result.int32(row, 0), result.int32(row, 1), result.text(row, 2),
            result.int32(row, 3), result.int32(row, 4), result.int64(row, 5) });
    return rows;
}

static std::optional<InvitationRow> first_invitation(const PgResult& result)
{
    std::vector<InvitationRow> rows = read_invitations(result);
    if (rows.empty())
        return std::nullopt;
    return rows.front();
}

std::vector<InvitationRow> PgTransaction::project_invitations(int project_id, std::int64_t now)
{
    static constexpr char sql[] = "SELECT " INVITATION_COLUMNS " FROM invitations"
                                  " WHERE project_id = $1 AND expires > $2 ORDER BY id";
    return read_invitations(run(sql, PgParams().add(project_id).add(now)));
}

std::optional<InvitationRow> PgTransaction::find_invitation(int project_id, const Text& address)
{
    static constexpr char sql[]
        = "SELECT " INVITATION_COLUMNS " FROM invitations"
          " WHERE project_id = $1 AND address = $2 ORDER BY id DESC LIMIT 1";
    return first_invitation(run(sql, PgParams().add(project_id).add(address)));
}

std::optional<InvitationRow> PgTransaction::find_invitation_by_ticket(
    const Hash& hash, std::int64_t now)
{
    static constexpr char sql[] = "SELECT " INVITATION_COLUMNS " FROM invitations"
                                  " WHERE ticket_hash = $1 AND expires > $2";
    return first_invitation(run(sql, PgParams().add_bytes(hash).add(now)));
}

int PgTransaction::insert_invitation(const InvitationRow& invitation, const Hash& ticket_hash)
{
    static constexpr char sql[]
        = "INSERT INTO invitations (project_id, address, level, inviter_id, ticket_hash, expires)"
          " VALUES ($1, $2, $3, $4, $5, $6) RETURNING id";
    PgParams params;
    params.add(invitation.project_id)
        .add(invitation.address)
        .add(invitation.level)
        .add(invitation.inviter_id)
        .add_bytes(ticket_hash)
        .add(invitation.expires);
    PgResult result = run(sql, params);
    if (result.rows() == 0)
        throw StorageError("invitation insert returned nothing");
    return result.int32(0, 0);
}

void PgTransaction::set_invitation_ticket(
    int invitation_id, const Hash& ticket_hash, std::int64_t expires)
{
    static constexpr char sql[]
        = "UPDATE invitations SET ticket_hash = $1, expires = $2 WHERE id = $3";
    run(sql, PgParams().add_bytes(ticket_hash).add(expires).add(invitation_id));
}

void PgTransaction::delete_invitation(int invitation_id)
{
    static constexpr char sql[] = "DELETE FROM invitations WHERE id = $1";
    run(sql, PgParams().add(invitation_id));
}

void PgTransaction::delete_project_invitations(int project_id)
{
    static constexpr char sql[] = "DELETE FROM invitations WHERE project_id = $1";
    run(sql, PgParams().add(project_id));
}

void PgTransaction::insert_change(const ChangeRow& change)
{
    static constexpr char sql[]
        = "INSERT INTO changes (change_id, task_id, project_id, kind, text, complete, deadline,"
          " done_delta, plan_delta, title, responsible_id, status, time, user_id, author_id)"
          " VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14, $15)";
    run(sql,
        PgParams().add_all(change.change_id, change.task_id, change.project_id, change.kind,
            change.text, change.complete, change.deadline, change.done_delta, change.plan_delta,
            change.title, change.responsible_id, change.status, change.time, change.user_id,
            change.author_id));
    // Every member but the author has one more unread change on the task. A member who
    // joins later joins above this change, so it is never unread for them.
    static constexpr char unread_sql[]
        = "INSERT INTO unread (user_id, project_id, task_id, count)"
          " SELECT m.user_id, $1, $2, 1 FROM (SELECT owner_id AS user_id FROM tasks WHERE id = $1"
          " UNION SELECT user_id FROM permissions WHERE project_id = $1) m WHERE m.user_id <> $3"
          " ON CONFLICT (user_id, project_id, task_id) DO UPDATE SET count = unread.count + 1";
    run(unread_sql, PgParams().add_all(change.project_id, change.task_id, change.author_id));
}

#define CHANGE_COLUMNS                                                                             \
    "change_id, task_id, project_id, kind, text, complete, deadline, done_delta, plan_delta, "     \
    "title, responsible_id, status, time, user_id, author_id"

static std::vector<ChangeRow> read_changes(const PgResult& result)
{
    std::vector<ChangeRow> rows;
    for (int row = 0; row < result.rows(); ++row) {
        ChangeRow change;
        change.change_id = result.int64(row, 0);
        change.task_id = result.int32(row, 1);
        change.project_id = result.int32(row, 2);
        change.kind = result.int32(row, 3);
        change.text = result.text(row, 4);
        change.complete = result.int32(row, 5);
        change.deadline = result.int64(row, 6);
        change.done_delta = result.int32(row, 7);
        change.plan_delta = result.int32(row, 8);
        change.title = result.text(row, 9);
        change.responsible_id = result.int32(row, 10);
        change.status = result.int32(row, 11);
        change.time = result.int64(row, 12);
        change.user_id = result.int32(row, 13);
        change.author_id = result.int32(row, 14);
        rows.push_back(std::move(change));
    }
    return rows;
}

std::vector<ChangeRow> PgTransaction::task_changes_below(int task_id, std::int64_t below, int limit)
{
    static constexpr char sql[] = "SELECT " CHANGE_COLUMNS " FROM changes WHERE task_id = $1"
                                  " AND change_id <= $2 ORDER BY change_id DESC LIMIT $3";
    return read_changes(run(sql, PgParams().add(task_id).add(below).add(limit)));
}

std::vector<ChangeRow> PgTransaction::task_changes_after(int task_id, std::int64_t after)
{
    static constexpr char sql[] = "SELECT " CHANGE_COLUMNS " FROM changes WHERE task_id = $1"
                                  " AND change_id > $2 ORDER BY change_id DESC";
    return read_changes(run(sql, PgParams().add(task_id).add(after)));
}

static std::vector<std::pair<int, int>> read_pairs(const PgResult& result)
{
    std::vector<std::pair<int, int>> rows;
    for (int row = 0; row < result.rows(); ++row)
        rows.emplace_back(result.int32(row, 0), result.int32(row, 1));
    return rows;
}

std::vector<std::pair<int, int>> PgTransaction::unread_counts(
    int user_id, int project_id, std::int64_t)
{
    static constexpr char sql[] = "SELECT task_id, count FROM unread WHERE user_id = $1"
                                  " AND project_id = $2 AND count > 0";
    return read_pairs(run(sql, PgParams().add(user_id).add(project_id)));
}

int PgTransaction::task_unread_count(int user_id, int task_id, std::int64_t)
{
    static constexpr char sql[] = "SELECT count FROM unread WHERE task_id = $1 AND user_id = $2";
    PgResult result = run(sql, PgParams().add(task_id).add(user_id));
    return result.rows() > 0 ? result.int32(0, 0) : 0;
}

void PgTransaction::insert_event(const EventRow& event)
{
    static constexpr char sql[]
        = "INSERT INTO events (seq, kind, task_id, parent_id, project_id, audience)"
          " VALUES ($1, $2, $3, $4, $5, $6)";
    run(sql,
        PgParams().add_all(event.seq, int(event.kind), event.task_id, event.parent_id,
            event.project_id, event.audience));
}

std::vector<EventRow> PgTransaction::events_after(std::int64_t after, int user_id, int limit)
{
    // What the user may see: events meant for them, and the rest of the projects they see now.
    static constexpr char sql[]
        = "SELECT seq, kind, task_id, parent_id, project_id, audience FROM events"
          " WHERE seq > $1 AND (audience = $2 OR (audience = 0 AND project_id IN"
          " (SELECT project_id FROM permissions WHERE user_id = $2 UNION"
          " SELECT id FROM tasks WHERE owner_id = $2 AND parent_id = 0))) ORDER BY seq LIMIT $3";
    PgResult result = run(sql, PgParams().add(after).add(user_id).add(limit));
    std::vector<EventRow> rows;
    for (int row = 0; row < result.rows(); ++row)
        rows.push_back(
            { result.int64(row, 0), EventKind(result.int32(row, 1)), result.int32(row, 2),
                result.int32(row, 3), result.int32(row, 4), result.int32(row, 5) });
    return rows;
}

std::vector<int> PgTransaction::users_seeing_events(std::int64_t after, std::int64_t upto)
{
    // The same rule as events_after, from the events' side.
    static constexpr char sql[]
        = "WITH recent AS (SELECT project_id, audience FROM events WHERE seq > $1 AND seq <= $2)"
          " SELECT audience FROM recent WHERE audience <> 0"
          " UNION SELECT p.user_id FROM recent r JOIN permissions p ON p.project_id = r.project_id"
          " WHERE r.audience = 0"
          " UNION SELECT t.owner_id FROM recent r JOIN tasks t ON t.id = r.project_id"
          " WHERE r.audience = 0 AND t.parent_id = 0 ORDER BY 1";
    PgResult result = run(sql, PgParams().add(after).add(upto));
    std::vector<int> users;
    for (int row = 0; row < result.rows(); ++row)
        users.push_back(result.int32(row, 0));
    return users;
}

void PgTransaction::set_viewed(int user_id, int task_id, std::int64_t seq, int stamp)
{
    static constexpr char sql[]
        = "INSERT INTO viewed (user_id, task_id, viewed_seq, stamp) VALUES ($1, $2, $3, $4)"
          " ON CONFLICT (user_id, task_id) DO UPDATE SET viewed_seq = $3, stamp = $4";
    static constexpr char unread_sql[] = "DELETE FROM unread WHERE user_id = $1 AND task_id = $2";
    run(sql, PgParams().add_all(user_id, task_id, seq, stamp));
    run(unread_sql, PgParams().add(user_id).add(task_id));
}

std::vector<ViewedRow> PgTransaction::viewed_after_stamp(int user_id, int stamp)
{
    static constexpr char sql[]
        = "SELECT task_id, viewed_seq, stamp FROM viewed WHERE user_id = $1 AND stamp > $2";
    PgResult result = run(sql, PgParams().add(user_id).add(stamp));
    std::vector<ViewedRow> rows;
    for (int row = 0; row < result.rows(); ++row)
        rows.push_back({ result.int32(row, 0), result.int64(row, 1), result.int32(row, 2) });
    return rows;
}

} // namespace corvane::server
