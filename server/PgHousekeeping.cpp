// The store's shared login throttle, unread totals, idempotency keys, and the purges that keep
// tables from growing for ever.
#include "server/PgConnection.h"
#include "server/PgTransaction.h"

namespace corvane::server {

static constexpr char unread_totals_sql[]
    = "SELECT project_id, SUM(count)::bigint, SUM(CASE WHEN task_id = project_id THEN count"
      " ELSE 0 END)::bigint FROM unread WHERE user_id = $1 GROUP BY project_id"
      " HAVING SUM(count) > 0";

static std::vector<UnreadTotal> read_unread_totals(const PgResult& result)
{
    std::vector<UnreadTotal> rows;
    for (int row = 0; row < result.rows(); ++row)
        rows.push_back({ result.int32(row, 0), result.int32(row, 1), result.int32(row, 2) });
    return rows;
}

std::vector<UnreadTotal> PgTransaction::project_unread_totals(int user_id)
{
    return read_unread_totals(run(unread_totals_sql, PgParams().add(user_id)));
}

// The projects a user sees, as a subquery of the two statements below.
#define VISIBLE_PROJECTS                                                                           \
    "(SELECT project_id FROM permissions WHERE user_id = $1 UNION SELECT id FROM tasks"            \
    " WHERE owner_id = $1 AND parent_id = 0)"

static constexpr char visible_permissions_sql[]
    = "SELECT p.project_id, p.user_id, p.level, p.joined_seq, u.account FROM permissions p"
      " JOIN users u ON u.id = p.user_id WHERE p.project_id IN " VISIBLE_PROJECTS
      " ORDER BY p.project_id, p.joined_seq, p.user_id";

static std::vector<PermissionRow> read_permissions(const PgResult& result)
{
    std::vector<PermissionRow> rows;
    for (int row = 0; row < result.rows(); ++row)
        rows.push_back({ result.int32(row, 0), result.int32(row, 1), result.int32(row, 2),
            result.int64(row, 3), result.text(row, 4) });
    return rows;
}

std::vector<PermissionRow> PgTransaction::visible_project_permissions(int user_id)
{
    return read_permissions(run(visible_permissions_sql, PgParams().add(user_id)));
}

static constexpr char visible_invitations_sql[]
    = "SELECT id, project_id, address, level, inviter_id, expires FROM invitations"
      " WHERE project_id IN " VISIBLE_PROJECTS " AND expires > $2 ORDER BY project_id, id";

static std::vector<InvitationRow> read_invitations(const PgResult& result)
{
    std::vector<InvitationRow> rows;
    for (int row = 0; row < result.rows(); ++row)
        rows.push_back({ result.int32(row, 0), result.int32(row, 1), result.text(row, 2),
            result.int32(row, 3), result.int32(row, 4), result.int64(row, 5) });
    return rows;
}

std::vector<InvitationRow> PgTransaction::visible_project_invitations(int user_id, std::int64_t now)
{
    return read_invitations(run(visible_invitations_sql, PgParams().add(user_id).add(now)));
}

RootRead PgTransaction::read_root(int user_id, std::int64_t now)
{
    std::vector<PgResult> results = run_all({ { pg_user_projects_sql, PgParams().add(user_id) },
        { unread_totals_sql, PgParams().add(user_id) },
        { visible_permissions_sql, PgParams().add(user_id) },
        { visible_invitations_sql, PgParams().add(user_id).add(now) },
        { pg_find_user_sql, PgParams().add(user_id) } });
    return { pg_read_user_projects(results[0]), read_unread_totals(results[1]),
        read_permissions(results[2]), read_invitations(results[3]),
        pg_read_found_user(results[4]) };
}

std::vector<std::pair<int, int>> PgTransaction::child_unread_counts(int user_id, int parent_id)
{
    static constexpr char sql[]
        = "SELECT u.task_id, u.count FROM tasks t JOIN unread u ON u.task_id = t.id"
          " AND u.user_id = $1 WHERE t.parent_id = $2 AND u.count > 0";
    PgResult result = run(sql, PgParams().add(user_id).add(parent_id));
    std::vector<std::pair<int, int>> rows;
    for (int row = 0; row < result.rows(); ++row)
        rows.emplace_back(result.int32(row, 0), result.int32(row, 1));
    return rows;
}

int PgTransaction::delete_invitations_issued_by(int project_id, int inviter_id)
{
    static constexpr char sql[]
        = "DELETE FROM invitations WHERE project_id = $1 AND inviter_id = $2";
    return run(sql, PgParams().add(project_id).add(inviter_id)).affected();
}

int PgTransaction::count_login_failures(const Hash& key, std::int64_t since)
{
    static constexpr char sql[]
        = "SELECT COUNT(*) FROM login_failures WHERE key = $1 AND time > $2";
    PgResult result = run(sql, PgParams().add_bytes(key).add(since));
    return result.rows() > 0 ? result.int32(0, 0) : 0;
}

std::int64_t PgTransaction::insert_login_failure(const Hash& key, std::int64_t now)
{
    static constexpr char sql[]
        = "INSERT INTO login_failures (key, time) VALUES ($1, $2) RETURNING id";
    PgResult result = run(sql, PgParams().add_bytes(key).add(now));
    if (result.rows() == 0)
        throw StorageError("login failure insert returned nothing");
    return result.int64(0, 0);
}

void PgTransaction::delete_login_failure(std::int64_t id)
{
    static constexpr char sql[] = "DELETE FROM login_failures WHERE id = $1";
    run(sql, PgParams().add(id));
}

int PgTransaction::purge_sessions(std::int64_t used_before, int batch)
{
    static constexpr char sql[] = "DELETE FROM sessions WHERE hash IN (SELECT hash FROM sessions"
                                  " WHERE last_use <= $1 ORDER BY last_use LIMIT $2)";
    return run(sql, PgParams().add(used_before).add(batch)).affected();
}

int PgTransaction::purge_login_keys(std::int64_t used_before, int batch)
{
    static constexpr char sql[]
        = "DELETE FROM login_keys WHERE hash IN (SELECT hash FROM login_keys"
          " WHERE last_use <= $1 ORDER BY last_use LIMIT $2)";
    return run(sql, PgParams().add(used_before).add(batch)).affected();
}

int PgTransaction::purge_invitations(std::int64_t expired_by, int batch)
{
    static constexpr char sql[] = "DELETE FROM invitations WHERE id IN (SELECT id FROM invitations"
                                  " WHERE expires <= $1 ORDER BY expires LIMIT $2)";
    return run(sql, PgParams().add(expired_by).add(batch)).affected();
}

int PgTransaction::purge_login_failures(std::int64_t before, int batch)
{
    // Rows go in in time order, so the oldest come first by id.
    static constexpr char sql[]
        = "DELETE FROM login_failures WHERE id IN (SELECT id FROM login_failures"
          " WHERE time <= $1 ORDER BY id LIMIT $2)";
    return run(sql, PgParams().add(before).add(batch)).affected();
}

int PgTransaction::purge_events(std::int64_t seq, int batch)
{
    static constexpr char sql[] = "DELETE FROM events WHERE seq IN (SELECT seq FROM events"
                                  " WHERE seq <= $1 ORDER BY seq LIMIT $2)";
    return run(sql, PgParams().add(seq).add(batch)).affected();
}

std::int64_t PgTransaction::events_horizon()
{
    static constexpr char sql[] = "SELECT value FROM counters WHERE name = 'events_horizon'";
    PgResult result = run(sql);
    return result.rows() > 0 ? result.int64(0, 0) : 0;
}

void PgTransaction::set_events_horizon(std::int64_t seq)
{
    static constexpr char sql[] = "UPDATE counters SET value = GREATEST(value, $1)"
                                  " WHERE name = 'events_horizon'";
    run(sql, PgParams().add(seq));
}

std::int64_t PgTransaction::mark_seq(std::int64_t now, std::int64_t seq, std::int64_t before)
{
    static constexpr char insert_sql[] = "INSERT INTO seq_marks (time, seq) VALUES ($1, $2)";
    static constexpr char find_sql[] = "SELECT MAX(seq), MAX(time) FROM seq_marks WHERE time <= $1";
    static constexpr char forget_sql[] = "DELETE FROM seq_marks WHERE time < $1";
    run(insert_sql, PgParams().add(now).add(seq));
    // The newest mark at or before the limit stays: it is the one the next run needs.
    PgResult found = run(find_sql, PgParams().add(before));
    std::int64_t value = found.rows() > 0 ? found.int64(0, 0) : 0;
    std::int64_t keep = found.rows() > 0 ? found.int64(0, 1) : 0;
    run(forget_sql, PgParams().add(keep));
    return value;
}

std::optional<IdempotencyRecord> PgTransaction::find_idempotency(
    int user_id, const std::string& key)
{
    static constexpr char sql[] = "SELECT digest, reply FROM idempotency_keys"
                                  " WHERE user_id = $1 AND key = $2";
    PgResult result = run(sql, PgParams().add(user_id).add_bytes(key));
    if (result.rows() == 0)
        return std::nullopt;
    return IdempotencyRecord { result.bytes(0, 0), result.bytes(0, 1) };
}

void PgTransaction::insert_idempotency(int user_id, const std::string& key,
    const std::string& digest, const std::string& reply, std::int64_t expires)
{
    static constexpr char sql[]
        = "INSERT INTO idempotency_keys (user_id, key, digest, reply, expires)"
          " VALUES ($1, $2, $3, $4, $5)";
    run(sql,
        PgParams().add(user_id).add_bytes(key).add_bytes(digest).add_bytes(reply).add(expires));
}

int PgTransaction::purge_idempotency(std::int64_t now, int batch)
{
    static constexpr char sql[]
        = "DELETE FROM idempotency_keys WHERE (user_id, key) IN"
          " (SELECT user_id, key FROM idempotency_keys WHERE expires <= $1 LIMIT $2)";
    return run(sql, PgParams().add(now).add(batch)).affected();
}

} // namespace corvane::server
