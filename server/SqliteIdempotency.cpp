#include "server/SqliteConnection.h"
#include "server/SqliteTransaction.h"

#include <sqlite3.h>

namespace corvane::server {

static Text key_text(const std::string& key)
{
    return Text(key.begin(), key.end()); // the header's value is checked to be printable ASCII
}

std::optional<IdempotencyRecord> SqliteTransaction::find_idempotency(
    int user_id, const std::string& key)
{
    static constexpr char sql[] = "SELECT digest, reply FROM idempotency_keys"
                                  " WHERE user_id = ? AND key = ?";
    auto query = db().prepare(sql);
    query->bind(1, user_id).bind(2, key_text(key));
    if (!query->step())
        return std::nullopt;
    return IdempotencyRecord { query->blob(0), query->blob(1) };
}

void SqliteTransaction::insert_idempotency(int user_id, const std::string& key,
    const std::string& digest, const std::string& reply, std::int64_t expires)
{
    static constexpr char sql[] = "INSERT INTO idempotency_keys"
                                  " (user_id, key, digest, reply, expires) VALUES (?, ?, ?, ?, ?)";
    auto query = db().prepare(sql);
    query->bind(1, user_id).bind(2, key_text(key)).bind_blob(3, digest).bind_blob(4, reply);
    query->bind(5, expires).run();
}

int SqliteTransaction::purge_idempotency(std::int64_t now, int batch)
{
    static constexpr char sql[]
        = "DELETE FROM idempotency_keys WHERE rowid IN"
          " (SELECT rowid FROM idempotency_keys WHERE expires <= ? LIMIT ?)";
    auto query = db().prepare(sql);
    query->bind(1, now).bind(2, batch).run();
    return sqlite3_changes(db().handle());
}

} // namespace corvane::server
