#pragma once

#include "server/Rows.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace corvane::server {

// One prepared statement, reset after each use. Parameters are bound by position from 1.
// Throws StorageError on any failure other than a finished result.
class SqliteStatement {
public:
    SqliteStatement(sqlite3* db, sqlite3_stmt* statement, bool utf16_file);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    SqliteStatement& bind(int index, std::int64_t value);
    SqliteStatement& bind(int index, int value) { return bind(index, std::int64_t(value)); }
    SqliteStatement& bind(int index, const Text& text);
    SqliteStatement& bind_blob(int index, const std::string& bytes);
    SqliteStatement& bind_null(int index);
    // Binds the values to parameters 1, 2, ... in the order given, so a row's columns are written
    // in the order of the statement's column list.
    template<typename... Values> SqliteStatement& bind_all(const Values&... values)
    {
        int index = 0;
        (bind(++index, values), ...);
        return *this;
    }

    bool step(); // True while a row is available.
    void run(); // Steps to completion (writes).
    void reset();

    std::int64_t int64(int column) const;
    int int32(int column) const { return static_cast<int>(int64(column)); }
    Text text(int column) const;
    std::string blob(int column) const;
    bool is_null(int column) const;

private:
    sqlite3* m_db; // Owned by the connection, which outlives its statements.
    sqlite3_stmt* m_statement;
    bool m_utf16_file;
    std::string m_scratch; // A text being bound; SQLite copies it.
};

// Resets a statement when the scope that used it ends, so no read lock outlives a query.
class StatementUse {
public:
    explicit StatementUse(SqliteStatement& statement)
        : m_statement(statement)
    {
    }
    ~StatementUse() { m_statement.reset(); }
    SqliteStatement* operator->() { return &m_statement; }
    SqliteStatement& operator*() { return m_statement; }

private:
    SqliteStatement& m_statement;
};

// An open database handle with its statement cache. Not thread-safe: one user at a time.
class SqliteConnection {
public:
    static std::unique_ptr<SqliteConnection> open(const std::string& path);
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    void execute(const char* sql); // Only for fixed texts: pragmas, schema, BEGIN/COMMIT.
    StatementUse prepare(const char* sql); // Cached by the text's address.
    sqlite3* handle() const { return m_db; }
    // Learns the file's text encoding; call once the encoding is settled, before prepare().
    void read_encoding();
    bool is_utf16_file() const { return m_utf16_file; }

private:
    explicit SqliteConnection(sqlite3* db);
    sqlite3* m_db;
    std::map<const char*, std::unique_ptr<SqliteStatement>> m_statements;
    bool m_utf16_file { false };
};

} // namespace corvane::server
