#pragma once

#include "server/Storage.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace corvane::server {

class SqliteConnection;

// The store on SQLite. A file database runs in WAL mode with a pool of connections, so
// readers never wait for the writer; ":memory:" has a single connection that every
// transaction takes in turn. The schema is created or migrated on open.
// Thread safety: begin() from any thread.
class SqliteStorage final : public Storage {
public:
    // Throws StorageError when the file cannot be opened or migrated.
    static std::unique_ptr<SqliteStorage> open(const std::string& path);
    ~SqliteStorage() override;

    std::unique_ptr<StorageTransaction> begin(TransactionKind kind) override;

    static constexpr int schema_version = 3;
    int opened_schema_version() const { return m_found_version; }

    // Leases: a transaction takes a connection and gives it back when it ends.
    std::unique_ptr<SqliteConnection> take_connection();
    void give_back(std::unique_ptr<SqliteConnection> connection);

private:
    explicit SqliteStorage(std::string path);
    void migrate(SqliteConnection& connection);

    std::string m_path;
    bool m_in_memory { false };
    int m_found_version { 0 };
    std::mutex m_pool_lock;
    std::vector<std::unique_ptr<SqliteConnection>> m_idle;
    std::mutex m_write_lock; // Writers queue here rather than spinning on SQLITE_BUSY.
    std::mutex m_memory_lock; // ":memory:": the one connection, one transaction at a time.
    std::unique_ptr<SqliteConnection> m_memory_connection;

    friend class SqliteTransaction;
};

} // namespace corvane::server
