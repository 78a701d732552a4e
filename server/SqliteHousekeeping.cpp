// The store's shared login throttle, unread totals, and the purges that keep tables from
// growing for ever.
#include "server/SqliteTransaction.h"

#include "server/SqliteConnection.h"

#include <sqlite3.h>

namespace corvane::server {

std::vector<UnreadTotal> SqliteTransaction::project_unread_totals(int user_id)
{
    static constexpr char sql[]
        = "SELECT project_id, SUM(count), SUM(CASE WHEN task_id = project_id THEN count ELSE 0"
          " END) FROM unread WHERE user_id = ? GROUP BY project_id HAVING SUM(count) > 0";
    auto query = db().prepare(sql);
    query->bind(1, user_id);
    std::vector<UnreadTotal> rows;
    while (query->step())
        rows.push_back({ query->int32(0), query->int32(1), query->int32(2) });
    return rows;
}

// The projects a user sees, as a subquery of the two statements below.
#define VISIBLE_PROJECTS                                                                           \
    "(SELECT project_id FROM permissions WHERE user_id = ?1 UNION SELECT id FROM tasks"            \
    " WHERE owner_id = ?1 AND parent_id = 0)"

std::vector<PermissionRow> SqliteTransaction::visible_project_permissions(int user_id)
{
    static constexpr char sql[]
        = "SELECT p.project_id, p.user_id, p.level, p.joined_seq, u.account FROM permissions p"
          " JOIN users u ON u.id = p.user_id WHERE p.project_id IN " VISIBLE_PROJECTS
          " ORDER BY p.project_id, p.joined_seq, p.user_id";
    auto query = db().prepare(sql);
    query->bind(1, user_id);
    std::vector<PermissionRow> rows;
    while (query->step())
        rows.push_back(
            { query->int32(0), query->int32(1), query->int32(2), query->int64(3), query->text(4) });
    return rows;
}

std::vector<InvitationRow> SqliteTransaction::visible_project_invitations(
    int user_id, std::int64_t now)
{
    static constexpr char sql[]
        = "SELECT id, project_id, address, level, inviter_id, expires FROM invitations"
          " WHERE project_id IN " VISIBLE_PROJECTS " AND expires > ?2 ORDER BY project_id, id";
    auto query = db().prepare(sql);
    query->bind(1, user_id).bind(2, now);
    std::vector<InvitationRow> rows;
    while (query->step())
        rows.push_back({ query->int32(0), query->int32(1), query->text(2), query->int32(3),
            query->int32(4), query->int64(5) });
    return rows;
}

std::vector<std::pair<int, int>> SqliteTransaction::child_unread_counts(int user_id, int parent_id)
{
    static constexpr char sql[]
        = "SELECT u.task_id, u.count FROM tasks t JOIN unread u ON u.task_id = t.id"
          " AND u.user_id = ?1 WHERE t.parent_id = ?2 AND u.count > 0";
    auto query = db().prepare(sql);
    query->bind(1, user_id).bind(2, parent_id);
    std::vector<std::pair<int, int>> rows;
    while (query->step())
        rows.emplace_back(query->int32(0), query->int32(1));
    return rows;
}

int SqliteTransaction::delete_invitations_issued_by(int project_id, int inviter_id)
{
    static constexpr char sql[] = "DELETE FROM invitations WHERE project_id = ? AND inviter_id = ?";
    db().prepare(sql)->bind(1, project_id).bind(2, inviter_id).run();
    return sqlite3_changes(db().handle());
}

int SqliteTransaction::count_login_failures(const Hash& key, std::int64_t since)
{
    static constexpr char sql[] = "SELECT COUNT(*) FROM login_failures WHERE key = ? AND time > ?";
    auto query = db().prepare(sql);
    query->bind_blob(1, key).bind(2, since);
    return query->step() ? query->int32(0) : 0;
}

std::int64_t SqliteTransaction::insert_login_failure(const Hash& key, std::int64_t now)
{
    static constexpr char sql[] = "INSERT INTO login_failures (key, time) VALUES (?, ?)";
    db().prepare(sql)->bind_blob(1, key).bind(2, now).run();
    return sqlite3_last_insert_rowid(db().handle());
}

void SqliteTransaction::delete_login_failure(std::int64_t id)
{
    static constexpr char sql[] = "DELETE FROM login_failures WHERE id = ?";
    db().prepare(sql)->bind(1, id).run();
}

// Runs a purge statement whose parameters are a bound and a batch size.
static int purge(SqliteConnection& db, const char* sql, std::int64_t bound, int batch)
{
    db.prepare(sql)->bind(1, bound).bind(2, batch).run();
    return sqlite3_changes(db.handle());
}

int SqliteTransaction::purge_sessions(std::int64_t used_before, int batch)
{
    static constexpr char sql[] = "DELETE FROM sessions WHERE hash IN (SELECT hash FROM sessions"
                                  " WHERE last_use <= ? ORDER BY last_use LIMIT ?)";
    return purge(db(), sql, used_before, batch);
}

int SqliteTransaction::purge_login_keys(std::int64_t used_before, int batch)
{
    static constexpr char sql[]
        = "DELETE FROM login_keys WHERE hash IN (SELECT hash FROM login_keys"
          " WHERE last_use <= ? ORDER BY last_use LIMIT ?)";
    return purge(db(), sql, used_before, batch);
}

int SqliteTransaction::purge_invitations(std::int64_t expired_by, int batch)
{
    static constexpr char sql[] = "DELETE FROM invitations WHERE id IN (SELECT id FROM invitations"
                                  " WHERE expires <= ? ORDER BY expires LIMIT ?)";
    return purge(db(), sql, expired_by, batch);
}

int SqliteTransaction::purge_login_failures(std::int64_t before, int batch)
{
    // Rows go in in time order, so the oldest come first by id.
    static constexpr char sql[]
        = "DELETE FROM login_failures WHERE id IN (SELECT id FROM login_failures"
          " WHERE time <= ? ORDER BY id LIMIT ?)";
    return purge(db(), sql, before, batch);
}

int SqliteTransaction::purge_events(std::int64_t seq, int batch)
{
    static constexpr char sql[] = "DELETE FROM events WHERE seq IN (SELECT seq FROM events"
                                  " WHERE seq <= ? ORDER BY seq LIMIT ?)";
    return purge(db(), sql, seq, batch);
}

std::int64_t SqliteTransaction::events_horizon()
{
    static constexpr char sql[] = "SELECT value FROM counters WHERE name = 'events_horizon'";
    auto query = db().prepare(sql);
    return query->step() ? query->int64(0) : 0;
}

void SqliteTransaction::set_events_horizon(std::int64_t seq)
{
    static constexpr char sql[] = "UPDATE counters SET value = MAX(value, ?)"
                                  " WHERE name = 'events_horizon'";
    db().prepare(sql)->bind(1, seq).run();
}

std::int64_t SqliteTransaction::mark_seq(std::int64_t now, std::int64_t seq, std::int64_t before)
{
    static constexpr char insert_sql[] = "INSERT INTO seq_marks (time, seq) VALUES (?, ?)";
    static constexpr char find_sql[] = "SELECT MAX(seq) FROM seq_marks WHERE time <= ?";
    static constexpr char forget_sql[] = "DELETE FROM seq_marks WHERE time < ?";
    db().prepare(insert_sql)->bind(1, now).bind(2, seq).run();
    std::int64_t found = 0;
    {
        auto query = db().prepare(find_sql);
        query->bind(1, before);
        if (query->step())
            found = query->int64(0);
    }
    // The newest mark at or before the limit stays: it is the one the next run needs.
    static constexpr char keep_sql[] = "SELECT MAX(time) FROM seq_marks WHERE time <= ?";
    std::int64_t keep = 0;
    {
        auto query = db().prepare(keep_sql);
        query->bind(1, before);
        if (query->step())
            keep = query->int64(0);
    }
    db().prepare(forget_sql)->bind(1, keep).run();
    return found;
}

} // namespace corvane::server
