#pragma once

#include "server/Rows.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct pg_conn;
struct pg_result;

namespace corvane::server {

// The values of one statement, in parameter order ($1, $2, ...), all sent in binary. The
// types go with the statement when it is prepared, so a statement is always given the same.
class PgParams {
public:
    PgParams& add(std::int64_t value);
    PgParams& add(int value) { return add(std::int64_t(value)); }
    PgParams& add(const Text& text); // As bytes: each UTF-16 unit encoded by itself.
    PgParams& add_bytes(const std::string& bytes);
    PgParams& add_array(const std::vector<int>& values); // An int8[], for "= ANY($n)".
    template<typename... Values> PgParams& add_all(const Values&... values)
    {
        (add(values), ...);
        return *this;
    }

    int count() const { return int(m_values.size()); }
    const std::vector<unsigned>& types() const { return m_types; }
    // Pointers into the values; valid while this object is unchanged.
    std::vector<const char*> pointers() const;
    std::vector<int> lengths() const;

private:
    std::vector<std::string> m_values;
    std::vector<unsigned> m_types;
};

// A result in binary form. Numbers read from int2, int4, int8 and bool columns; texts from
// bytea columns. Reading a column of another type, or out of range, throws StorageError.
class PgResult {
public:
    explicit PgResult(pg_result* result);
    ~PgResult();
    PgResult(PgResult&& other) noexcept;
    PgResult(const PgResult&) = delete;
    PgResult& operator=(const PgResult&) = delete;

    int rows() const;
    std::int64_t int64(int row, int column) const;
    int int32(int row, int column) const { return static_cast<int>(int64(row, column)); }
    Text text(int row, int column) const;
    std::string bytes(int row, int column) const;
    bool is_null(int row, int column) const;
    int affected() const; // Rows an INSERT, UPDATE or DELETE touched.

private:
    const char* cell(int row, int column, int& length) const;
    pg_result* m_result;
};

// One open connection with the statements it has prepared. Not thread-safe: one user at a
// time (a transaction leases it from the pool). Every failure throws StorageError; after a
// failure is_broken() says whether the connection itself is lost and must not be reused.
class PgConnection {
public:
    // `uri` is a libpq connection URI; a bare "postgresql://" takes everything from the PG*
    // variables. Throws StorageError with libpq's reason when no connection can be made.
    static std::unique_ptr<PgConnection> open(const std::string& uri);
    ~PgConnection();
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    // Only for fixed texts without values: schema steps, BEGIN, COMMIT.
    void execute(const char* sql);
    // Runs `sql`, prepared on first use; statements are known by the text's address, so
    // `sql` must be a constant.
    PgResult run(const char* sql, const PgParams& params);
    PgResult run(const char* sql) { return run(sql, PgParams()); }
    // Runs independent statements in one exchange, each prepared on first use as run() does,
    // and answers their results in order. The first failure throws, as one statement's would.
    struct Statement {
        const char* sql;
        PgParams params;
    };
    std::vector<PgResult> run_all(const std::vector<Statement>& statements);
    // Runs `sql` once for each of `rows` in one exchange (a bulk load); throws on the first
    // failure. Keep batches to a few hundred rows: answers wait in the socket until all is sent.
    void run_batch(const char* sql, const std::vector<PgParams>& rows);

    // Round trips are most of a short transaction's cost, so its BEGIN waits here and goes in
    // one exchange with the first statement (`sql`: a single fixed statement without values).
    void queue(const char* sql) { m_queued.push_back(sql); }
    bool has_queued() const { return !m_queued.empty(); }
    void drop_queued() { m_queued.clear(); }
    // Sends a fixed statement and reads its answer only at the next use: for the end of a
    // read-only transaction, whose outcome cannot lose anything.
    void send_without_waiting(const char* sql);
    // Ends the read-only transaction at the start of the next exchange, which spares the
    // server a wake-up of its own for the COMMIT. Until then the transaction's snapshot is
    // held, so a connection left idle should have end_read_now() called.
    void end_read_later() { m_commit_due = true; }
    bool has_read_to_end() const { return m_commit_due; }
    void end_read_now();
    // Reads what send_without_waiting() left; afterwards is_idle() says whether to reuse it.
    void settle();

    bool is_broken() const;
    // Open, with nothing queued, and outside any transaction (or ending one unwaited).
    bool is_idle() const;

private:
    explicit PgConnection(pg_conn* connection);
    [[noreturn]] void fail(const char* what, pg_result* result);
    void leave_pipeline();
    std::vector<PgResult> run_in_pipeline(const std::vector<Statement>& statements);
    // Prepares `sql` in the pipeline on first use (noting it in `prepared`) and sends it.
    bool send_prepared(const char* sql, const PgParams& params,
        std::vector<std::pair<const char*, std::string>>& prepared, std::vector<bool>& kept,
        bool keep);

    pg_conn* m_connection;
    std::map<const char*, std::string> m_prepared; // Text address to statement name.
    int m_names { 0 }; // Statement names are never reused, not even after a failed prepare.
    std::vector<const char*> m_queued;
    bool m_unwaited { false }; // A statement's answer is still to be read.
    bool m_commit_due { false }; // A read-only transaction is still open, to end with the next.
    bool m_unusable { false }; // The protocol state is unknown after a failed exchange.
};

} // namespace corvane::server
