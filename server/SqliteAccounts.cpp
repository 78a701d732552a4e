#include "server/SqliteTransaction.h"

#include "server/SqliteConnection.h"

#include <sqlite3.h>

// Accounts and what proves who a caller is: users, login keys and sessions.
namespace corvane::server {

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

std::optional<SessionState> SqliteTransaction::find_session_state(const Hash& hash)
{
    static constexpr char sql[]
        = "SELECT s.user_id, s.last_use, u.stamp, (SELECT value FROM counters WHERE name = 'seq')"
          " FROM sessions s JOIN users u ON u.id = s.user_id WHERE s.hash = ?";
    auto query = db().prepare(sql);
    query->bind_blob(1, hash);
    if (!query->step())
        return std::nullopt;
    return SessionState { query->int32(0), query->int64(1), query->int32(2), query->int64(3) };
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

} // namespace corvane::server
