#include "server/DatabaseCopy.h"

#include "server/PgConnection.h"
#include "server/PgStorage.h"
#include "server/SqliteConnection.h"
#include "server/SqliteStorage.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::server {

namespace {

    // One table as both engines hold it: `kinds` gives each column's kind in order, 'i' a
    // whole number, 't' a text, 'b' bytes.
    struct Table {
        const char* name;
        const char* kinds;
        const char* read_sql; // SQLite, in the order the rows were written
        const char* write_sql; // PostgreSQL
        const char* count_sql; // the same text on both engines
    };

#define COPY_TABLE(NAME, KINDS, COLUMNS, PLACES)                                                   \
    Table                                                                                          \
    {                                                                                              \
        NAME, KINDS, "SELECT " COLUMNS " FROM " NAME " ORDER BY rowid",                            \
            "INSERT INTO " NAME " (" COLUMNS ") VALUES (" PLACES ")", "SELECT COUNT(*) FROM " NAME \
    }

    // Every table of the schema. The counters the schema starts with are written over.
    const Table s_tables[] = {
        Table { "counters", "ti", "SELECT name, value FROM counters",
            "INSERT INTO counters (name, value) VALUES (convert_from($1, 'UTF8'), $2)"
            " ON CONFLICT (name) DO UPDATE SET value = EXCLUDED.value",
            "SELECT COUNT(*) FROM counters" },
        COPY_TABLE(
            "users", "ittti", "id, account, name, password_hash, stamp", "$1, $2, $3, $4, $5"),
        COPY_TABLE("login_keys", "bii", "hash, user_id, last_use", "$1, $2, $3"),
        COPY_TABLE("sessions", "bii", "hash, user_id, last_use", "$1, $2, $3"),
        COPY_TABLE("tasks", "iiiiittiiiiiiii",
            "id, parent_id, project_id, owner_id, responsible_id, title, tag, status, complete,"
            " done, plan, deadline, date, child_count, created_seq",
            "$1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14, $15"),
        COPY_TABLE(
            "permissions", "iiii", "project_id, user_id, level, joined_seq", "$1, $2, $3, $4"),
        COPY_TABLE("members_ever", "ii", "project_id, user_id", "$1, $2"),
        COPY_TABLE("invitations", "iitiibi",
            "id, project_id, address, level, inviter_id, ticket_hash, expires",
            "$1, $2, $3, $4, $5, $6, $7"),
        COPY_TABLE("changes", "iiiitiiiitiiiii",
            "change_id, task_id, project_id, kind, text, complete, deadline, done_delta,"
            " plan_delta, title, responsible_id, status, time, user_id, author_id",
            "$1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14, $15"),
        COPY_TABLE("events", "iiiiii", "seq, kind, task_id, parent_id, project_id, audience",
            "$1, $2, $3, $4, $5, $6"),
        COPY_TABLE("viewed", "iiii", "user_id, task_id, viewed_seq, stamp", "$1, $2, $3, $4"),
        Table { "unread", "iiii", "SELECT user_id, project_id, task_id, count FROM unread",
            "INSERT INTO unread (user_id, project_id, task_id, count) VALUES ($1, $2, $3, $4)",
            "SELECT COUNT(*) FROM unread" },
        COPY_TABLE("login_failures", "ibi", "id, key, time", "$1, $2, $3"),
        COPY_TABLE("seq_marks", "ii", "time, seq", "$1, $2"),
        COPY_TABLE("idempotency_keys", "itbbi", "user_id, key, digest, reply, expires",
            "$1, $2, $3, $4, $5"),
    };

    // Ids the source gave out stay; the identity columns go on after the highest.
    const char* const s_identities[] = {
        "SELECT setval(pg_get_serial_sequence('users', 'id'), (SELECT MAX(id) FROM users))"
        " WHERE EXISTS (SELECT 1 FROM users)",
        "SELECT setval(pg_get_serial_sequence('tasks', 'id'), (SELECT MAX(id) FROM tasks))"
        " WHERE EXISTS (SELECT 1 FROM tasks)",
        "SELECT setval(pg_get_serial_sequence('invitations', 'id'),"
        " (SELECT MAX(id) FROM invitations)) WHERE EXISTS (SELECT 1 FROM invitations)",
        "SELECT setval(pg_get_serial_sequence('login_failures', 'id'),"
        " (SELECT MAX(id) FROM login_failures)) WHERE EXISTS (SELECT 1 FROM login_failures)",
    };

    // Rows a fresh schema holds: the two counters, both at zero.
    bool is_empty(PgConnection& target, std::string& holds)
    {
        for (const Table& table : s_tables) {
            std::int64_t rows = target.run(table.count_sql).int64(0, 0);
            if (table.name == std::string_view("counters")) {
                rows = target.run("SELECT COUNT(*) FROM counters WHERE value <> 0").int64(0, 0);
            }
            if (rows > 0) {
                holds = std::string(table.name) + " holds " + std::to_string(rows) + " rows";
                return false;
            }
        }
        return true;
    }

    std::int64_t copy_table(SqliteConnection& source, PgConnection& target, const Table& table)
    {
        std::string kinds = table.kinds;
        auto rows = source.prepare(table.read_sql);
        std::int64_t copied = 0;
        std::vector<PgParams> batch;
        while (rows->step()) {
            PgParams& params = batch.emplace_back();
            for (std::size_t column = 0; column < kinds.size(); ++column) {
                int index = int(column);
                if (kinds[column] == 't')
                    params.add(rows->text(index));
                else if (kinds[column] == 'b')
                    params.add_bytes(rows->blob(index));
                else
                    params.add(rows->int64(index));
            }
            ++copied;
            if (batch.size() == 500) {
                target.run_batch(table.write_sql, batch);
                batch.clear();
            }
        }
        target.run_batch(table.write_sql, batch);
        return copied;
    }

    bool parse_options(int argc, const char* const* argv,
        std::vector<std::pair<const char*, std::string*>> options, const char* usage)
    {
        for (int i = 2; i < argc; ++i) {
            std::string_view option = argv[i];
            bool known = false;
            for (auto& [name, value] : options) {
                if (option == name && i + 1 < argc) {
                    *value = argv[++i];
                    known = true;
                    break;
                }
            }
            if (!known) {
                std::fprintf(
                    stderr, "vizserver: %s: unknown or incomplete option %s\n", argv[1], argv[i]);
                return false;
            }
        }
        for (auto& [name, value] : options) {
            if (value->empty()) {
                std::fprintf(stderr, "vizserver: %s\n", usage);
                return false;
            }
        }
        return true;
    }

} // namespace

int run_migrate_command(int argc, const char* const* argv)
{
    std::string database;
    if (!parse_options(argc, argv, { { "--db", &database } }, "migrate needs --db URI|FILE"))
        return 2;
    try {
        int found = 0;
        if (is_postgresql_uri(database)) {
            found = PgStorage::open(database)->opened_schema_version();
        } else {
            if (database != ":memory:" && !std::filesystem::exists(database))
                std::printf("vizserver: %s does not exist: creating it\n", database.c_str());
            found = SqliteStorage::open(database)->opened_schema_version();
        }
        int current = SqliteStorage::schema_version;
        if (found == current)
            std::printf("vizserver: the schema is already at version %d\n", current);
        else
            std::printf("vizserver: migrated the schema from version %d to %d\n", found, current);
        return 0;
    } catch (const StorageError& error) {
        std::fprintf(stderr, "vizserver: migrate: %s\n", error.what());
        return 1;
    }
}

int run_copy_command(int argc, const char* const* argv)
{
    std::string from, to;
    if (!parse_options(argc, argv, { { "--from", &from }, { "--to", &to } },
            "copy needs --from FILE (SQLite) and --to URI (PostgreSQL)"))
        return 2;
    if (!is_postgresql_uri(to)) {
        std::fprintf(
            stderr, "vizserver: copy: --to must be a postgresql:// URI, not %s\n", to.c_str());
        return 2;
    }
    if (is_postgresql_uri(from) || !std::filesystem::is_regular_file(from)) {
        std::fprintf(
            stderr, "vizserver: copy: --from must be an existing SQLite file: %s\n", from.c_str());
        return 2;
    }
    try {
        // Both schemas at the current version first, so every table exists on both sides.
        auto source_store = SqliteStorage::open(from);
        auto target_store = PgStorage::open(to);
        std::unique_ptr<SqliteConnection> source = source_store->take_connection();
        std::unique_ptr<PgConnection> target = target_store->take_connection();
        source->execute("BEGIN"); // One snapshot of the source for every table.
        target->execute("BEGIN; SELECT pg_advisory_xact_lock(" PG_WRITER_LOCK ")");
        std::string holds;
        if (!is_empty(*target, holds)) {
            std::fprintf(stderr,
                "vizserver: copy: the target database is not empty (%s); nothing was copied\n",
                holds.c_str());
            return 1;
        }
        std::vector<std::pair<const Table*, std::int64_t>> copied;
        for (const Table& table : s_tables)
            copied.emplace_back(&table, copy_table(*source, *target, table));
        for (const char* sql : s_identities)
            target->run(sql);
        for (auto [table, rows] : copied) {
            std::int64_t in_source = 0;
            {
                auto count = source->prepare(table->count_sql);
                if (count->step())
                    in_source = count->int64(0);
            }
            std::int64_t in_target = target->run(table->count_sql).int64(0, 0);
            if (in_source != rows || in_target != rows) {
                std::fprintf(stderr,
                    "vizserver: copy: table %s: %lld rows in the source, %lld read, %lld in the"
                    " target; nothing was copied\n",
                    table->name, static_cast<long long>(in_source), static_cast<long long>(rows),
                    static_cast<long long>(in_target));
                return 1;
            }
        }
        target->execute("COMMIT");
        source->execute("COMMIT");
        // Without this the service's first minutes on the copy run without the planner's
        // statistics and pay for setting every row's visibility hints, until autovacuum comes.
        for (auto [table, rows] : copied) {
            try {
                target->execute(("VACUUM (ANALYZE) " + std::string(table->name)).c_str());
            } catch (const StorageError& error) {
                std::fprintf(stderr, "vizserver: copy: %s (the copy is complete)\n", error.what());
                break;
            }
        }
        for (auto [table, rows] : copied)
            std::printf("  %-18s %lld rows\n", table->name, static_cast<long long>(rows));
        std::printf("vizserver: copied %s into the PostgreSQL database; every table's count"
                    " checked\n",
            from.c_str());
        return 0;
    } catch (const StorageError& error) {
        std::fprintf(stderr, "vizserver: copy: %s; nothing was copied\n", error.what());
        return 1;
    }
}

} // namespace corvane::server
