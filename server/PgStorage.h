#pragma once

#include "server/Storage.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace corvane::server {

class PgConnection;

// What a list page needs of its project besides the page (the project with the user's access,
// the user's unread counts in it, its sharing), as one user read it at one state of the
// database: every write to tasks, permissions or invitations moves the global sequence, and
// the user's own views move the user's stamp. Time matters only through invitation expiry,
// hence the age limit.
struct PgProjectHead {
    std::int64_t seq { 0 };
    int stamp { 0 };
    std::int64_t read_at_ms { 0 };
    std::optional<TaskInProject> project;
    std::vector<std::pair<int, int>> unread;
    std::vector<SharingEntry> sharing;
    // The parents of the pages read in this state, so that a later page in it needs only its
    // own rows. Bounded by max_folders; a page past the bound reads its parents again.
    std::map<int, TaskRow> folders;
    static constexpr std::size_t max_folders = 1024;
};

// The heads last read, so that paging through a list reads the project once while nothing
// changes. Thread safety: any thread.
class PgProjectHeads {
public:
    static constexpr std::int64_t max_age_ms = 2000;
    static constexpr std::size_t max_entries = 4096;
    // The folders of all heads together, some 16 MB.
    static constexpr std::size_t max_folder_rows = 65'536;

    // The last head read for the pair within the age limit, whatever its state.
    std::shared_ptr<const PgProjectHead> find(int user_id, int project_id, std::int64_t now_ms);
    void store(int user_id, int project_id, std::shared_ptr<const PgProjectHead> head);

private:
    std::mutex m_lock;
    std::map<std::pair<int, int>, std::shared_ptr<const PgProjectHead>> m_heads;
    std::size_t m_folder_rows { 0 };
};

// The advisory lock every writer takes first, as SQL text ("Corvane1" as a number).
#define PG_WRITER_LOCK "4859228375722386737"

// The store on PostgreSQL, for several service processes on one database. Each process keeps
// a small pool of connections; a transaction leases one and gives it back when it ends. A
// connection found lost (the server restarted, the network dropped) is dropped, and the next
// transaction opens a new one, so the store recovers by itself once the server is back.
// A reader's COMMIT waits for the connection's next exchange; a thread ends the reads of
// connections left idle, so no snapshot is held for long.
// Thread safety: begin() from any thread.
class PgStorage final : public Storage {
public:
    // Creates or upgrades the schema. Throws StorageError when no connection can be made or the
    // schema cannot be migrated (among them: a schema written by a newer server).
    static std::unique_ptr<PgStorage> open(const std::string& uri);
    ~PgStorage() override;

    std::unique_ptr<StorageTransaction> begin(TransactionKind kind) override;
    // One statement outside a transaction: it sees one snapshot by itself, and spares the
    // BEGIN and COMMIT that would cost as much as the query.
    std::optional<SessionState> find_session_state(const Hash& hash) override;

    static constexpr int schema_version = 3;
    int opened_schema_version() const { return m_found_version; }

    std::unique_ptr<PgConnection> take_connection();
    // A connection that is lost, or still inside a transaction, is closed instead of kept;
    // a lost one also closes the idle ones, which lost their server with it.
    void give_back(std::unique_ptr<PgConnection> connection);

    PgProjectHeads& project_heads() { return m_heads; }
    // The highest sequence value this process has seen, read or written: a project head kept
    // from before it is known to be stale without asking.
    void note_seq(std::int64_t seq);
    std::int64_t latest_seq() const { return m_latest_seq.load(std::memory_order_relaxed); }

    // Idle this long, a connection's open read is ended.
    static constexpr std::chrono::milliseconds read_hold { 200 };

private:
    using Clock = std::chrono::steady_clock;
    struct Idle {
        std::unique_ptr<PgConnection> connection;
        Clock::time_point since;
    };

    explicit PgStorage(std::string uri);
    void migrate(PgConnection& connection);
    void end_idle_reads();

    static constexpr std::size_t max_idle = 8;
    std::string m_uri;
    int m_found_version { 0 };
    std::mutex m_pool_lock;
    std::vector<Idle> m_idle;
    std::condition_variable m_sweep_wakeup;
    bool m_stopping { false };
    std::thread m_sweeper;
    PgProjectHeads m_heads;
    std::atomic<std::int64_t> m_latest_seq { 0 };
};

// True when `database` names a PostgreSQL database (a libpq URI) rather than a SQLite file.
bool is_postgresql_uri(const std::string& database);

// `database` fit for a log line: a password in a URI (user:password@, or password=) shows
// as "***".
std::string database_for_log(const std::string& database);

// Opens the store `database` names: a PostgreSQL URI or a SQLite file (":memory:" included).
// Throws StorageError with a reason fit for the operator.
std::unique_ptr<Storage> open_storage(const std::string& database);

} // namespace corvane::server
