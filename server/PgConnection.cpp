#include "server/PgConnection.h"

#include "server/Storage.h"

#include <libpq-fe.h>

#include <algorithm>

namespace corvane::server {

namespace {
    std::string trimmed(const char* message)
    {
        std::string text = message ? message : "";
        while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
            text.pop_back();
        return text;
    }
} // namespace

std::unique_ptr<PgConnection> PgConnection::open(const std::string& uri)
{
    // The URI's own settings win over these defaults: libpq applies later keywords last,
    // and expands "dbname" in place. A server that vanishes without closing the connection
    // (a cable, a crashed host) fails a call after 10 s of unanswered sending rather than the
    // system's quarter of an hour.
    const char* const keywords[] = { "connect_timeout", "tcp_user_timeout", "keepalives_idle",
        "fallback_application_name", "dbname", nullptr };
    const char* const values[] = { "5", "10000", "30", "vizserver", uri.c_str(), nullptr };
    pg_conn* connection = PQconnectdbParams(keywords, values, 1);
    if (!connection)
        throw StorageError("out of memory opening a database connection");
    if (PQstatus(connection) != CONNECTION_OK) {
        std::string reason = trimmed(PQerrorMessage(connection));
        PQfinish(connection);
        throw StorageError("cannot connect to PostgreSQL: " + reason);
    }
    // Notices (an existing table in CREATE ... IF NOT EXISTS) are not the operator's concern.
    PQsetNoticeProcessor(
        connection, [](void*, const char*) {}, nullptr);
    auto opened = std::unique_ptr<PgConnection>(new PgConnection(connection));
    // Every statement is a short lookup along an index whatever its values, but the server
    // would plan many of them again on each execution, which cost more processor time than
    // running them (a list page: 730 against 310 us of the server's time).
    try {
        opened->execute("SET plan_cache_mode = force_generic_plan");
    } catch (const StorageError&) {
        // A server before 12 has no such setting and plans as it always did.
    }
    return opened;
}

PgConnection::PgConnection(pg_conn* connection)
    : m_connection(connection)
{
}

PgConnection::~PgConnection()
{
    PQfinish(m_connection);
}

bool PgConnection::is_broken() const
{
    return m_unusable || PQstatus(m_connection) != CONNECTION_OK;
}

bool PgConnection::is_idle() const
{
    return !is_broken() && m_queued.empty()
        && (m_unwaited || m_commit_due || PQtransactionStatus(m_connection) == PQTRANS_IDLE);
}

void PgConnection::fail(const char* what, pg_result* result)
{
    std::string reason = trimmed(result ? PQresultErrorMessage(result) : nullptr);
    if (reason.empty())
        reason = trimmed(PQerrorMessage(m_connection));
    if (reason.empty())
        reason = "the connection is in an unknown state";
    PQclear(result);
    throw StorageError(std::string(what) + ": " + reason);
}

void PgConnection::end_read_now()
{
    if (m_commit_due)
        send_without_waiting("COMMIT");
}

void PgConnection::send_without_waiting(const char* sql)
{
    settle();
    if (is_broken())
        return;
    m_commit_due = false; // Only a transaction's end is sent here, and it ends an open read too.
    if (PQsendQuery(m_connection, sql) == 1)
        m_unwaited = true;
    else
        m_unusable = true;
}

void PgConnection::settle()
{
    if (!m_unwaited)
        return;
    m_unwaited = false;
    bool failed = false;
    while (pg_result* result = PQgetResult(m_connection)) {
        ExecStatusType status = PQresultStatus(result);
        failed = failed || (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK);
        PQclear(result);
    }
    if (failed || PQtransactionStatus(m_connection) != PQTRANS_IDLE)
        m_unusable = true;
}

void PgConnection::execute(const char* sql)
{
    settle();
    if (is_broken())
        fail("exec", nullptr);
    if (m_commit_due) {
        m_commit_due = false;
        execute("COMMIT");
    }
    pg_result* result = PQexec(m_connection, sql);
    ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        fail("exec", result);
    PQclear(result);
}

PgResult PgConnection::run(const char* sql, const PgParams& params)
{
    settle();
    if (is_broken())
        fail("query", nullptr);
    auto found = m_prepared.find(sql);
    if (found == m_prepared.end() || !m_queued.empty() || m_commit_due) {
        std::vector<Statement> one;
        one.push_back({ sql, params });
        return std::move(run_in_pipeline(one).front());
    }
    std::vector<const char*> values = params.pointers();
    std::vector<int> lengths = params.lengths();
    std::vector<int> formats(values.size(), 1);
    pg_result* result = PQexecPrepared(m_connection, found->second.c_str(), params.count(),
        values.data(), lengths.data(), formats.data(), 1);
    ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        fail("query", result);
    return PgResult(result);
}

// Reads the pipeline's end mark and leaves pipeline mode; a connection that cannot is not used
// again, as its protocol state is unknown.
void PgConnection::leave_pipeline()
{
    if (m_unusable)
        return;
    pg_result* sync = PQgetResult(m_connection);
    bool synced = sync && PQresultStatus(sync) == PGRES_PIPELINE_SYNC;
    PQclear(sync);
    if (!synced || PQexitPipelineMode(m_connection) != 1)
        m_unusable = true;
}

std::vector<PgResult> PgConnection::run_all(const std::vector<Statement>& statements)
{
    settle();
    if (is_broken())
        fail("query", nullptr);
    if (statements.empty())
        return {};
    return run_in_pipeline(statements);
}

void PgConnection::run_batch(const char* sql, const std::vector<PgParams>& rows)
{
    if (rows.empty())
        return;
    run(sql, rows.front()); // Prepares the statement, and sends what is queued.
    const std::string& name = m_prepared.at(sql);
    bool sent = PQenterPipelineMode(m_connection) == 1;
    for (std::size_t row = 1; row < rows.size() && sent; ++row) {
        std::vector<const char*> values = rows[row].pointers();
        std::vector<int> lengths = rows[row].lengths();
        std::vector<int> formats(values.size(), 1);
        sent = PQsendQueryPrepared(m_connection, name.c_str(), rows[row].count(), values.data(),
                   lengths.data(), formats.data(), 1)
            == 1;
    }
    if (!sent || PQpipelineSync(m_connection) != 1) {
        m_unusable = true;
        fail("send", nullptr);
    }
    pg_result* error = nullptr;
    for (std::size_t row = 1; row < rows.size(); ++row) {
        pg_result* result = PQgetResult(m_connection);
        if (!result) {
            m_unusable = true;
            break;
        }
        ExecStatusType status = PQresultStatus(result);
        if (!error && status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
            error = result;
        else
            PQclear(result);
        while (pg_result* rest = PQgetResult(m_connection))
            PQclear(rest);
    }
    leave_pipeline();
    if (error || m_unusable)
        fail("query", error);
}

bool PgConnection::send_prepared(const char* sql, const PgParams& params,
    std::vector<std::pair<const char*, std::string>>& prepared, std::vector<bool>& kept, bool keep)
{
    auto found = m_prepared.find(sql);
    std::string name;
    if (found != m_prepared.end()) {
        name = found->second;
    } else {
        auto earlier = std::find_if(prepared.begin(), prepared.end(),
            [&](const auto& entry) { return entry.first == sql; });
        if (earlier != prepared.end()) {
            name = earlier->second;
        } else {
            name = "s" + std::to_string(m_names++);
            if (PQsendPrepare(m_connection, name.c_str(), sql, params.count(),
                    params.types().empty() ? nullptr : params.types().data())
                != 1)
                return false;
            kept.push_back(false);
            prepared.emplace_back(sql, name);
        }
    }
    std::vector<const char*> values = params.pointers();
    std::vector<int> lengths = params.lengths();
    std::vector<int> formats(values.size(), 1);
    kept.push_back(keep);
    return PQsendQueryPrepared(m_connection, name.c_str(), params.count(), values.data(),
               lengths.data(), formats.data(), 1)
        == 1;
}

// The end of the last read, the queued statements, the preparation of each new statement, and
// the statements themselves go in one exchange. An error in one aborts the rest, and the first
// error is the answer. Fixed statements are prepared too: the server then parses none of them
// again.
std::vector<PgResult> PgConnection::run_in_pipeline(const std::vector<Statement>& statements)
{
    std::vector<const char*> queued = std::move(m_queued);
    m_queued.clear();
    if (m_commit_due)
        queued.insert(queued.begin(), "COMMIT");
    m_commit_due = false;
    bool sent = PQenterPipelineMode(m_connection) == 1;
    // A command answers whether its result is kept: only the statements' own are.
    std::vector<bool> kept;
    std::vector<std::pair<const char*, std::string>> prepared;
    const PgParams none;
    for (const char* statement : queued)
        sent = sent && send_prepared(statement, none, prepared, kept, false);
    for (const Statement& statement : statements)
        sent = sent && send_prepared(statement.sql, statement.params, prepared, kept, true);
    sent = sent && PQpipelineSync(m_connection) == 1;
    if (!sent) {
        m_unusable = true;
        fail("send", nullptr);
    }
    std::vector<PgResult> answers;
    answers.reserve(statements.size());
    pg_result* error = nullptr;
    for (std::size_t command = 0; command < kept.size() && !m_unusable; ++command) {
        pg_result* result = PQgetResult(m_connection);
        if (!result) {
            m_unusable = true; // The connection went away mid-exchange.
            break;
        }
        ExecStatusType status = PQresultStatus(result);
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
            if (!error && status != PGRES_PIPELINE_ABORTED)
                error = result;
            else
                PQclear(result);
        } else if (kept[command]) {
            answers.emplace_back(result);
        } else {
            PQclear(result);
        }
        while (pg_result* rest = PQgetResult(m_connection)) // Up to the command's end mark.
            PQclear(rest);
    }
    leave_pipeline();
    if (error || m_unusable || answers.size() != statements.size())
        fail("query", error);
    // Only statements that were prepared are known by name from now on.
    for (auto& [sql, name] : prepared)
        m_prepared.emplace(sql, std::move(name));
    return answers;
}

} // namespace corvane::server
