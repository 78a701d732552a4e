#include "server/SqliteStorage.h"

#include "server/SqliteConnection.h"
#include "server/SqliteTransaction.h"

#include <sqlite3.h>

#include <fcntl.h>
#include <unistd.h>

namespace corvane::server {

// Each step takes the schema from the version before it to the next one. Steps are never
// edited once released: a new column or table is a new step.
static const char* const s_migrations[] = {
    // 0 -> 1
    "CREATE TABLE counters (name TEXT PRIMARY KEY, value INTEGER NOT NULL);"
    "INSERT INTO counters VALUES ('seq', 0);"
    "CREATE TABLE users (id INTEGER PRIMARY KEY AUTOINCREMENT, account TEXT NOT NULL UNIQUE,"
    " name TEXT NOT NULL, password_hash TEXT NOT NULL, stamp INTEGER NOT NULL DEFAULT 0);"
    "CREATE TABLE login_keys (hash BLOB PRIMARY KEY, user_id INTEGER NOT NULL,"
    " last_use INTEGER NOT NULL);"
    "CREATE INDEX login_keys_user ON login_keys (user_id, last_use);"
    "CREATE TABLE sessions (hash BLOB PRIMARY KEY, user_id INTEGER NOT NULL,"
    " last_use INTEGER NOT NULL);"
    "CREATE INDEX sessions_user ON sessions (user_id);"
    "CREATE TABLE tasks (id INTEGER PRIMARY KEY AUTOINCREMENT, parent_id INTEGER NOT NULL,"
    " project_id INTEGER NOT NULL, owner_id INTEGER NOT NULL, responsible_id INTEGER NOT NULL,"
    " title TEXT NOT NULL, tag TEXT NOT NULL, status INTEGER NOT NULL, complete INTEGER NOT NULL,"
    " done INTEGER NOT NULL, plan INTEGER NOT NULL, deadline INTEGER NOT NULL,"
    " date INTEGER NOT NULL, child_count INTEGER NOT NULL, created_seq INTEGER NOT NULL);"
    "CREATE INDEX tasks_parent ON tasks (parent_id);"
    "CREATE INDEX tasks_project ON tasks (project_id);"
    "CREATE INDEX tasks_owner_projects ON tasks (owner_id) WHERE parent_id = 0;"
    "CREATE TABLE permissions (project_id INTEGER NOT NULL, user_id INTEGER NOT NULL,"
    " level INTEGER NOT NULL, joined_seq INTEGER NOT NULL, PRIMARY KEY (project_id, user_id));"
    "CREATE INDEX permissions_user ON permissions (user_id);"
    "CREATE TABLE members_ever (project_id INTEGER NOT NULL, user_id INTEGER NOT NULL,"
    " PRIMARY KEY (project_id, user_id));"
    "CREATE INDEX members_ever_user ON members_ever (user_id);"
    "CREATE TABLE invitations (id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " project_id INTEGER NOT NULL, address TEXT NOT NULL, level INTEGER NOT NULL,"
    " inviter_id INTEGER NOT NULL, ticket_hash BLOB NOT NULL UNIQUE, expires INTEGER NOT NULL);"
    "CREATE INDEX invitations_project ON invitations (project_id, address);"
    "CREATE TABLE changes (change_id INTEGER PRIMARY KEY, task_id INTEGER NOT NULL,"
    " project_id INTEGER NOT NULL, kind INTEGER NOT NULL, text TEXT NOT NULL,"
    " complete INTEGER NOT NULL, deadline INTEGER NOT NULL, done_delta INTEGER NOT NULL,"
    " plan_delta INTEGER NOT NULL, title TEXT NOT NULL, responsible_id INTEGER NOT NULL,"
    " status INTEGER NOT NULL, time INTEGER NOT NULL, user_id INTEGER NOT NULL,"
    " author_id INTEGER NOT NULL);"
    "CREATE INDEX changes_task ON changes (task_id, change_id);"
    "CREATE INDEX changes_project ON changes (project_id, change_id);"
    "CREATE TABLE events (seq INTEGER PRIMARY KEY, kind INTEGER NOT NULL,"
    " task_id INTEGER NOT NULL, parent_id INTEGER NOT NULL, project_id INTEGER NOT NULL,"
    " audience INTEGER NOT NULL);"
    "CREATE TABLE viewed (user_id INTEGER NOT NULL, task_id INTEGER NOT NULL,"
    " viewed_seq INTEGER NOT NULL, stamp INTEGER NOT NULL, PRIMARY KEY (user_id, task_id));"
    "CREATE INDEX viewed_task ON viewed (task_id);"
    "CREATE INDEX viewed_stamp ON viewed (user_id, stamp);",
    // 1 -> 2: unread counters kept by the writes, login failures shared by every process,
    // and what the housekeeping needs to find old rows without scanning.
    "CREATE TABLE unread (user_id INTEGER NOT NULL, project_id INTEGER NOT NULL,"
    " task_id INTEGER NOT NULL, count INTEGER NOT NULL,"
    " PRIMARY KEY (user_id, project_id, task_id)) WITHOUT ROWID;"
    "CREATE INDEX unread_task ON unread (task_id, user_id);"
    "INSERT INTO unread (user_id, project_id, task_id, count)"
    " SELECT m.user_id, c.project_id, c.task_id, COUNT(*) FROM changes c"
    " JOIN (SELECT owner_id AS user_id, id AS project_id, created_seq AS joined FROM tasks"
    "  WHERE parent_id = 0 UNION ALL SELECT user_id, project_id, joined_seq FROM permissions) m"
    " ON m.project_id = c.project_id"
    " LEFT JOIN viewed v ON v.user_id = m.user_id AND v.task_id = c.task_id"
    " WHERE c.author_id <> m.user_id AND c.change_id > m.joined"
    " AND c.change_id > IFNULL(v.viewed_seq, 0) GROUP BY m.user_id, c.project_id, c.task_id;"
    "CREATE TABLE login_failures (id INTEGER PRIMARY KEY, key BLOB NOT NULL,"
    " time INTEGER NOT NULL);"
    "CREATE INDEX login_failures_key ON login_failures (key, time);"
    "CREATE TABLE seq_marks (time INTEGER NOT NULL, seq INTEGER NOT NULL);"
    "INSERT INTO counters VALUES ('events_horizon', 0);"
    "CREATE INDEX sessions_last_use ON sessions (last_use);"
    "CREATE INDEX login_keys_last_use ON login_keys (last_use);"
    "CREATE INDEX invitations_expires ON invitations (expires);"
    "CREATE INDEX invitations_inviter ON invitations (project_id, inviter_id);"
    "ALTER TABLE tasks ADD COLUMN list_date INTEGER GENERATED ALWAYS AS (-date) VIRTUAL;"
    "ALTER TABLE tasks ADD COLUMN list_undated INTEGER GENERATED ALWAYS AS (deadline = 0) VIRTUAL;"
    "CREATE INDEX tasks_list ON tasks (project_id, complete, list_date, list_undated, deadline,"
    " title, id);",
    // 2 -> 3: change calls' Idempotency-Keys with the reply they got.
    "CREATE TABLE idempotency_keys (user_id INTEGER NOT NULL, key TEXT NOT NULL,"
    " digest BLOB NOT NULL, reply BLOB NOT NULL, expires INTEGER NOT NULL,"
    " PRIMARY KEY (user_id, key));"
    "CREATE INDEX idempotency_keys_expires ON idempotency_keys (expires);",
};

// One step per version: a step added without raising the version would never run.
static_assert(std::size(s_migrations) == SqliteStorage::schema_version);

std::unique_ptr<SqliteStorage> SqliteStorage::open(const std::string& path)
{
    std::unique_ptr<SqliteStorage> storage(new SqliteStorage(path));
    if (!storage->m_in_memory) {
        // The file holds password hashes and every task: owner-only whatever the umask.
        // SQLite gives the -wal and -shm files the mode of the database file.
        int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0)
            ::close(fd);
    }
    auto connection = SqliteConnection::open(path);
    // New files keep texts as UTF-8 (each UTF-16 unit encoded by itself); a file created
    // in UTF-16 by an older server stays so and is converted by SQLite on the way.
    connection->execute("PRAGMA encoding = 'UTF-8'");
    connection->read_encoding();
    if (!storage->m_in_memory) {
        connection->execute("PRAGMA journal_mode = WAL");
        // In WAL mode a commit survives a killed process; only power loss may drop the last
        // few commits, never corrupt the file.
        connection->execute("PRAGMA synchronous = NORMAL");
    }
    storage->migrate(*connection);
    if (storage->m_in_memory)
        storage->m_memory_connection = std::move(connection);
    else
        storage->give_back(std::move(connection));
    return storage;
}

SqliteStorage::SqliteStorage(std::string path)
    : m_path(std::move(path))
    , m_in_memory(m_path == ":memory:" || m_path.empty())
{
}

SqliteStorage::~SqliteStorage() = default;

void SqliteStorage::migrate(SqliteConnection& connection)
{
    connection.execute("BEGIN IMMEDIATE");
    try {
        connection.execute("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
        int version = 0;
        {
            auto query = connection.prepare("SELECT version FROM schema_version");
            if (query->step())
                version = query->int32(0);
        }
        m_found_version = version;
        if (version > schema_version)
            throw StorageError("the database was written by a newer server (schema "
                + std::to_string(version) + ")");
        for (int step = version; step < schema_version; ++step)
            connection.execute(s_migrations[step]);
        if (version != schema_version) {
            connection.execute("DELETE FROM schema_version");
            auto insert = connection.prepare("INSERT INTO schema_version VALUES (?)");
            insert->bind(1, schema_version).run();
        }
        connection.execute("COMMIT");
    } catch (...) {
        sqlite3_exec(connection.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

std::unique_ptr<SqliteConnection> SqliteStorage::take_connection()
{
    {
        std::lock_guard lock(m_pool_lock);
        if (!m_idle.empty()) {
            auto connection = std::move(m_idle.back());
            m_idle.pop_back();
            return connection;
        }
    }
    auto connection = SqliteConnection::open(m_path);
    connection->execute("PRAGMA synchronous = NORMAL");
    connection->read_encoding();
    return connection;
}

void SqliteStorage::give_back(std::unique_ptr<SqliteConnection> connection)
{
    std::lock_guard lock(m_pool_lock);
    m_idle.push_back(std::move(connection));
}

std::unique_ptr<StorageTransaction> SqliteStorage::begin(TransactionKind kind)
{
    return std::make_unique<SqliteTransaction>(*this, kind);
}

} // namespace corvane::server
