// The store on SQLite: creation and migration, text fidelity, and what a transaction keeps.
#include "server/SqliteStorage.h"
#include "server/UserView.h"
#include "server/tests/TestSupport.h"

#include <sqlite3.h>

#include <filesystem>

using namespace corvane::server;

namespace {

class TempFile {
public:
    TempFile()
        : m_path(std::filesystem::temp_directory_path()
            / ("vizserver-test-" + std::to_string(::getpid()) + "-" + std::to_string(s_next++)
                + ".db"))
    {
        remove();
    }
    ~TempFile() { remove(); }
    std::string path() const { return m_path.string(); }

private:
    void remove()
    {
        for (const char* suffix : { "", "-wal", "-shm" })
            std::filesystem::remove(m_path.string() + suffix);
    }
    static inline int s_next = 0;
    std::filesystem::path m_path;
};

int query_int(const std::string& path, const char* sql)
{
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_stmt* statement = nullptr;
    int value = -1;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK
        && sqlite3_step(statement) == SQLITE_ROW)
        value = sqlite3_column_int(statement, 0);
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return value;
}

} // namespace

// An empty file becomes a current database; opening it again keeps what was stored.
TEST(Storage, migrates_an_empty_file_and_keeps_data)
{
    TempFile file;
    {
        auto storage = SqliteStorage::open(file.path());
        EXPECT_EQ(storage->opened_schema_version(), 0);
        auto transaction = storage->begin(TransactionKind::Write);
        transaction->insert_user(u"a@example.org", u"A", "hash");
        EXPECT_EQ(transaction->next_seq(), 1);
        transaction->commit();
    }
    EXPECT_EQ(query_int(file.path(), "SELECT version FROM schema_version"),
        SqliteStorage::schema_version);
    auto storage = SqliteStorage::open(file.path());
    EXPECT_EQ(storage->opened_schema_version(), SqliteStorage::schema_version);
    auto transaction = storage->begin(TransactionKind::Read);
    EXPECT_TRUE(transaction->find_user_by_account(u"a@example.org"));
    EXPECT_EQ(transaction->current_seq(), 1);
    transaction.reset();
    auto writer = storage->begin(TransactionKind::Write);
    writer->next_seq();
    writer->commit();
    EXPECT_TRUE(std::filesystem::exists(file.path() + "-wal")) << "the file runs in WAL mode";
}

// A file written by a newer server is refused rather than misread.
TEST(Storage, refuses_a_newer_schema)
{
    TempFile file;
    {
        auto storage = SqliteStorage::open(file.path());
    }
    sqlite3* db = nullptr;
    sqlite3_open(file.path().c_str(), &db);
    sqlite3_exec(db, "UPDATE schema_version SET version = 99", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    EXPECT_THROW(SqliteStorage::open(file.path()), StorageError);
}

// Texts are UTF-16 units end to end: lone surrogates and the private-use area survive.
TEST(Storage, texts_keep_every_code_unit)
{
    auto storage = SqliteStorage::open(":memory:");
    auto transaction = storage->begin(TransactionKind::Write);
    Text odd = u"a\xD800z\U0001F600\uE000\uFFFD";
    TaskRow task;
    task.title = odd;
    task.tag = Text(1, char16_t(0xDC00));
    int id = transaction->insert_task(task);
    transaction->commit();
    transaction.reset(); // ":memory:" runs one transaction at a time.
    auto reader = storage->begin(TransactionKind::Read);
    std::optional<TaskRow> back = reader->find_task(id);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->title, odd);
    EXPECT_EQ(back->tag, Text(1, char16_t(0xDC00)));
}

// A transaction that is not committed leaves nothing behind.
TEST(Storage, uncommitted_writes_roll_back)
{
    auto storage = SqliteStorage::open(":memory:");
    {
        auto transaction = storage->begin(TransactionKind::Write);
        transaction->insert_user(u"a@example.org", u"A", "hash");
        transaction->next_seq();
    }
    auto transaction = storage->begin(TransactionKind::Read);
    EXPECT_FALSE(transaction->find_user_by_account(u"a@example.org"));
    EXPECT_EQ(transaction->current_seq(), 0);
}

// The order of replies is by UTF-16 units, not code points: U+FFFD sorts after a pair.
TEST(Storage, ordering_uses_utf16_units)
{
    TaskRow a, b;
    a.title = u"\U0001F600";
    b.title = u"\uFFFD";
    EXPECT_TRUE(task_before(a, b));
    a.title = b.title = u"x";
    a.deadline = 5;
    EXPECT_TRUE(task_before(a, b)) << "a deadline comes before none";
    b.deadline = 4;
    EXPECT_TRUE(task_before(b, a));
    b.complete = true;
    EXPECT_TRUE(task_before(a, b));
}
