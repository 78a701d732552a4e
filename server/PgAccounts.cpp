#include "server/PgTransaction.h"

#include "server/PgConnection.h"

// Accounts and what proves who a caller is: users, login keys and sessions.
namespace corvane::server {

static UserRow read_user(const PgResult& row)
{
    UserRow user;
    user.id = row.int32(0, 0);
    user.account = row.text(0, 1);
    user.name = row.text(0, 2);
    user.password_hash = row.bytes(0, 3);
    user.stamp = row.int32(0, 4);
    return user;
}

const char pg_find_user_sql[]
    = "SELECT id, account, name, password_hash, stamp FROM users WHERE id = $1";

std::optional<UserRow> pg_read_found_user(const PgResult& result)
{
    if (result.rows() == 0)
        return std::nullopt;
    return read_user(result);
}

std::optional<UserRow> PgTransaction::find_user(int id)
{
    return pg_read_found_user(run(pg_find_user_sql, PgParams().add(id)));
}

std::optional<UserRow> PgTransaction::find_user_by_account(const Text& account)
{
    static constexpr char sql[]
        = "SELECT id, account, name, password_hash, stamp FROM users WHERE account = $1";
    PgResult result = run(sql, PgParams().add(account));
    if (result.rows() == 0)
        return std::nullopt;
    return read_user(result);
}

int PgTransaction::insert_user(const Text& account, const Text& name, const std::string& hash)
{
    static constexpr char sql[]
        = "INSERT INTO users (account, name, password_hash) VALUES ($1, $2, $3) RETURNING id";
    PgResult result = run(sql, PgParams().add(account).add(name).add_bytes(hash));
    if (result.rows() == 0)
        throw StorageError("user insert returned nothing");
    return result.int32(0, 0);
}

int PgTransaction::bump_user_stamp(int user_id)
{
    static constexpr char sql[]
        = "UPDATE users SET stamp = stamp + 1 WHERE id = $1 RETURNING stamp";
    PgResult result = run(sql, PgParams().add(user_id));
    return result.rows() > 0 ? result.int32(0, 0) : 0;
}

std::vector<int> PgTransaction::all_user_ids()
{
    static constexpr char sql[] = "SELECT id FROM users ORDER BY id";
    PgResult result = run(sql);
    std::vector<int> ids;
    for (int row = 0; row < result.rows(); ++row)
        ids.push_back(result.int32(row, 0));
    return ids;
}

void PgTransaction::insert_login_key(const Hash& hash, int user_id, std::int64_t now)
{
    static constexpr char sql[]
        = "INSERT INTO login_keys (hash, user_id, last_use) VALUES ($1, $2, $3)";
    run(sql, PgParams().add_bytes(hash).add(user_id).add(now));
}

void PgTransaction::prune_login_keys(int user_id, int keep)
{
    static constexpr char sql[]
        = "DELETE FROM login_keys WHERE user_id = $1 AND hash NOT IN (SELECT hash FROM login_keys"
          " WHERE user_id = $1 ORDER BY last_use DESC, n DESC LIMIT $2)";
    run(sql, PgParams().add(user_id).add(keep));
}

std::optional<KeyRecord> PgTransaction::find_login_key(const Hash& hash)
{
    static constexpr char sql[] = "SELECT user_id, last_use FROM login_keys WHERE hash = $1";
    PgResult result = run(sql, PgParams().add_bytes(hash));
    if (result.rows() == 0)
        return std::nullopt;
    return KeyRecord { result.int32(0, 0), result.int64(0, 1) };
}

void PgTransaction::touch_login_key(const Hash& hash, std::int64_t now)
{
    static constexpr char sql[] = "UPDATE login_keys SET last_use = $1 WHERE hash = $2";
    run(sql, PgParams().add(now).add_bytes(hash));
}

int PgTransaction::delete_login_keys(std::optional<int> user_id)
{
    static constexpr char one[] = "DELETE FROM login_keys WHERE user_id = $1";
    static constexpr char all[] = "DELETE FROM login_keys";
    return user_id ? run(one, PgParams().add(*user_id)).affected() : run(all).affected();
}

void PgTransaction::insert_session(const Hash& hash, int user_id, std::int64_t now)
{
    static constexpr char sql[]
        = "INSERT INTO sessions (hash, user_id, last_use) VALUES ($1, $2, $3)";
    run(sql, PgParams().add_bytes(hash).add(user_id).add(now));
}

std::optional<KeyRecord> PgTransaction::find_session(const Hash& hash)
{
    static constexpr char sql[] = "SELECT user_id, last_use FROM sessions WHERE hash = $1";
    PgResult result = run(sql, PgParams().add_bytes(hash));
    if (result.rows() == 0)
        return std::nullopt;
    return KeyRecord { result.int32(0, 0), result.int64(0, 1) };
}

static constexpr char session_state_sql[]
    = "SELECT s.user_id, s.last_use, u.stamp, (SELECT value FROM counters WHERE name = 'seq')"
      " FROM sessions s JOIN users u ON u.id = s.user_id WHERE s.hash = $1";

static std::optional<SessionState> read_session_state(const PgResult& result)
{
    if (result.rows() == 0)
        return std::nullopt;
    return SessionState { result.int32(0, 0), result.int64(0, 1), result.int32(0, 2),
        result.int64(0, 3) };
}

std::optional<SessionState> pg_find_session_state(PgConnection& connection, const Hash& hash)
{
    return read_session_state(connection.run(session_state_sql, PgParams().add_bytes(hash)));
}

std::optional<SessionState> PgTransaction::find_session_state(const Hash& hash)
{
    return read_session_state(run(session_state_sql, PgParams().add_bytes(hash)));
}

void PgTransaction::check_session_with_first_read(const Hash& hash, SessionCheck check)
{
    m_session_hash = hash;
    m_session_check = std::move(check);
}

void PgTransaction::touch_session(const Hash& hash, std::int64_t now)
{
    static constexpr char sql[] = "UPDATE sessions SET last_use = $1 WHERE hash = $2";
    run(sql, PgParams().add(now).add_bytes(hash));
}

void PgTransaction::delete_session(const Hash& hash)
{
    static constexpr char sql[] = "DELETE FROM sessions WHERE hash = $1";
    run(sql, PgParams().add_bytes(hash));
}

int PgTransaction::delete_sessions(std::optional<int> user_id)
{
    static constexpr char one[] = "DELETE FROM sessions WHERE user_id = $1";
    static constexpr char all[] = "DELETE FROM sessions";
    return user_id ? run(one, PgParams().add(*user_id)).affected() : run(all).affected();
}

} // namespace corvane::server
