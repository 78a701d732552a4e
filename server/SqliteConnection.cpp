#include "server/SqliteConnection.h"

#include "server/Storage.h"

#include "common/wire/WireUtf8.h"

#include <sqlite3.h>

#include <optional>
#include <string_view>

namespace corvane::server {

static void check(sqlite3* db, int code, const char* what)
{
    if (code != SQLITE_OK)
        throw StorageError(std::string(what) + ": " + sqlite3_errmsg(db));
}

SqliteStatement::SqliteStatement(sqlite3* db, sqlite3_stmt* statement, bool utf16_file)
    : m_db(db)
    , m_statement(statement)
    , m_utf16_file(utf16_file)
{
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(m_statement);
}

SqliteStatement& SqliteStatement::bind(int index, std::int64_t value)
{
    check(m_db, sqlite3_bind_int64(m_statement, index, value), "bind");
    return *this;
}

// Texts go in as UTF-8 with every UTF-16 unit encoded by itself. SQLite takes a leading
// U+FEFF or U+FFFE of UTF-16 input for a byte-order mark and drops it or swaps every byte
// after it; UTF-8 input has no such reading, and in a UTF-8 file the bytes are kept exactly,
// lone surrogates included. Their byte order is also the order of the UTF-16 units.
SqliteStatement& SqliteStatement::bind(int index, const Text& text)
{
    // An older UTF-16 file is converted by SQLite, which understands only standard UTF-8
    // there (a pair as four bytes); what it cannot hold, a lone surrogate, becomes U+FFFD.
    if (m_utf16_file)
        m_scratch = to_utf8(text);
    else {
        m_scratch.clear();
        append_wire_utf8(text, m_scratch);
    }
    check(m_db,
        sqlite3_bind_text64(
            m_statement, index, m_scratch.data(), m_scratch.size(), SQLITE_TRANSIENT, SQLITE_UTF8),
        "bind");
    return *this;
}

SqliteStatement& SqliteStatement::bind_blob(int index, const std::string& bytes)
{
    check(m_db,
        sqlite3_bind_blob(m_statement, index, bytes.data(), int(bytes.size()), SQLITE_TRANSIENT),
        "bind");
    return *this;
}

SqliteStatement& SqliteStatement::bind_null(int index)
{
    check(m_db, sqlite3_bind_null(m_statement, index), "bind");
    return *this;
}

bool SqliteStatement::step()
{
    int code = sqlite3_step(m_statement);
    if (code == SQLITE_ROW)
        return true;
    if (code == SQLITE_DONE)
        return false;
    throw StorageError(std::string("step: ") + sqlite3_errmsg(m_db));
}

void SqliteStatement::run()
{
    while (step()) { }
}

void SqliteStatement::reset()
{
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement);
}

std::int64_t SqliteStatement::int64(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

Text SqliteStatement::text(int column) const
{
    auto* data = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
    int bytes = sqlite3_column_bytes(m_statement, column);
    if (!data)
        return {};
    std::string_view stored(data, std::size_t(bytes));
    // A file created by an older server holds UTF-16, which SQLite hands out as standard
    // UTF-8 (four bytes for a pair); both forms decode to the same units.
    if (std::optional<Text> units = decode_strict_wire_utf8(stored))
        return std::move(*units);
    return decode_wire_utf8(stored);
}

std::string SqliteStatement::blob(int column) const
{
    auto* data = static_cast<const char*>(sqlite3_column_blob(m_statement, column));
    int bytes = sqlite3_column_bytes(m_statement, column);
    if (!data)
        return {};
    return std::string(data, size_t(bytes));
}

bool SqliteStatement::is_null(int column) const
{
    return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}

std::unique_ptr<SqliteConnection> SqliteConnection::open(const std::string& path)
{
    sqlite3* db = nullptr;
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    int code = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    if (code != SQLITE_OK) {
        std::string message = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        throw StorageError("cannot open " + path + ": " + message);
    }
    std::unique_ptr<SqliteConnection> connection(new SqliteConnection(db));
    // Writers queue in the process; this covers the admin commands of other processes.
    sqlite3_busy_timeout(db, 4000);
    connection->execute("PRAGMA foreign_keys = OFF");
    return connection;
}

SqliteConnection::SqliteConnection(sqlite3* db)
    : m_db(db)
{
}

SqliteConnection::~SqliteConnection()
{
    m_statements.clear();
    sqlite3_close(m_db);
}

void SqliteConnection::read_encoding()
{
    sqlite3_stmt* statement = nullptr;
    check(m_db, sqlite3_prepare_v2(m_db, "PRAGMA encoding", -1, &statement, nullptr), "prepare");
    if (sqlite3_step(statement) == SQLITE_ROW) {
        auto* name = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        m_utf16_file = name && std::string_view(name).starts_with("UTF-16");
    }
    sqlite3_finalize(statement);
    m_statements.clear();
}

void SqliteConnection::execute(const char* sql)
{
    char* error = nullptr;
    int code = sqlite3_exec(m_db, sql, nullptr, nullptr, &error);
    if (code != SQLITE_OK) {
        std::string message = error ? error : sqlite3_errmsg(m_db);
        sqlite3_free(error);
        throw StorageError(std::string("exec: ") + message);
    }
}

StatementUse SqliteConnection::prepare(const char* sql)
{
    auto found = m_statements.find(sql);
    if (found == m_statements.end()) {
        sqlite3_stmt* statement = nullptr;
        check(m_db,
            sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr),
            "prepare");
        found = m_statements
                    .emplace(sql, std::make_unique<SqliteStatement>(m_db, statement, m_utf16_file))
                    .first;
    }
    return StatementUse(*found->second);
}

} // namespace corvane::server
