// The store: creation and migration of a SQLite file; text fidelity, list order and what a
// transaction keeps on the engine under test.
#include "server/PgStorage.h"
#include "server/SqliteStorage.h"
#include "server/UserView.h"
#include "server/tests/TestSupport.h"

#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>

using namespace corvane::server;

namespace {

// Runs SQL on a database file: the first column of its last row, 0 without rows, -1 on error.
int sqlite(const std::string& path, const char* sql)
{
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    int value = 0;
    auto row = [](void* out, int, char** columns, char**) {
        *static_cast<int*>(out) = columns[0] ? std::atoi(columns[0]) : 0;
        return 0;
    };
    int code = sqlite3_exec(db, sql, row, &value, nullptr);
    sqlite3_close(db);
    return code == SQLITE_OK ? value : -1;
}

} // namespace

// An empty file becomes a current database in WAL mode; opening it again keeps what was
// stored; a file written by a newer server is refused rather than misread.
TEST(Storage, migrates_an_empty_file_keeps_data_and_refuses_a_newer_schema)
{
    test::TempFolder folder("vizserver-storage");
    std::string file = folder.file("service.db");
    {
        auto storage = SqliteStorage::open(file);
        EXPECT_EQ(storage->opened_schema_version(), 0);
        auto transaction = storage->begin(TransactionKind::Write);
        transaction->insert_user(u"a@example.org", u"A", "hash");
        EXPECT_EQ(transaction->next_seq(), 1);
        transaction->commit();
    }
    EXPECT_EQ(sqlite(file, "SELECT version FROM schema_version"), SqliteStorage::schema_version);
    {
        auto storage = SqliteStorage::open(file);
        EXPECT_EQ(storage->opened_schema_version(), SqliteStorage::schema_version);
        auto transaction = storage->begin(TransactionKind::Read);
        EXPECT_TRUE(transaction->find_user_by_account(u"a@example.org"));
        EXPECT_EQ(transaction->current_seq(), 1);
        transaction.reset();
        auto writer = storage->begin(TransactionKind::Write);
        writer->next_seq();
        writer->commit();
        EXPECT_TRUE(std::filesystem::exists(file + "-wal")) << "the file runs in WAL mode";
    }
    EXPECT_EQ(sqlite(file, "UPDATE schema_version SET version = 99"), 0);
    EXPECT_THROW(SqliteStorage::open(file), StorageError);
}

// A transaction that is not committed leaves nothing behind.
TEST(Storage, uncommitted_writes_roll_back)
{
    auto storage = open_storage(test::test_database(":memory:"));
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

// Pages of a list follow the ordering exactly, ties on date included, in a new UTF-8 file, in
// a UTF-16 file an older server created (whose byte order is not the units' order), and on
// PostgreSQL.
TEST(Storage, list_pages_follow_the_ordering_in_either_encoding)
{
    for (bool utf16 : { false, true }) {
        if (utf16 && test::postgresql_under_test())
            continue; // Only SQLite files were ever written in UTF-16.
        test::TempFolder folder("vizserver-storage");
        std::string file = folder.file("service.db");
        if (utf16) {
            EXPECT_EQ(sqlite(file, "PRAGMA encoding = 'UTF-16le'; CREATE TABLE x (y)"), 0);
        }
        auto storage = open_storage(test::test_database(file));
        auto t = storage->begin(TransactionKind::Write);
        TaskRow project;
        project.id = t->insert_task(project);
        std::vector<TaskRow> tasks;
        const Text titles[] = { u"a", u"\u0100", u"\uE000", u"\U0001F600", u"b", u"" };
        for (int i = 0; i < 24; ++i) {
            TaskRow task;
            task.parent_id = task.project_id = project.id;
            task.title = titles[std::size_t(i) % std::size(titles)];
            task.date = 1000 + i % 3;
            task.deadline = i % 4 == 0 ? 0 : 50 + i % 2;
            task.complete = i % 5 == 0;
            task.id = t->insert_task(task);
            tasks.push_back(task);
        }
        std::sort(tasks.begin(), tasks.end(), task_before);
        std::vector<int> paged;
        std::optional<TaskRow> cursor;
        for (int page = 0; page < 10; ++page) {
            std::vector<TaskRow> rows = t->list_page(project.id, cursor ? &*cursor : nullptr, 5);
            for (const TaskRow& row : rows)
                paged.push_back(row.id);
            if (rows.size() < 5)
                break;
            cursor = rows.back();
        }
        std::vector<int> expected;
        for (const TaskRow& task : tasks)
            expected.push_back(task.id);
        EXPECT_EQ(paged, expected) << (utf16 ? "UTF-16 file" : "UTF-8 file");
    }
}

// Unread counts are kept by the writes; a file from before the counters gets them from its
// history when it is migrated, and both ways give the same counts.
TEST(Storage, migration_counts_unread_changes_as_the_writes_do)
{
    test::TempFolder folder("vizserver-storage");
    std::string file = folder.file("service.db");
    std::map<int, std::vector<std::pair<int, int>>> before;
    {
        auto storage = SqliteStorage::open(file);
        auto t = storage->begin(TransactionKind::Write);
        int ann = t->insert_user(u"ann@example.org", u"A", "h");
        int bob = t->insert_user(u"bob@example.org", u"B", "h");
        TaskRow project;
        project.owner_id = ann;
        project.created_seq = t->next_seq();
        project.id = t->insert_task(project);
        project.project_id = project.id;
        t->update_task(project);
        std::vector<int> tasks;
        for (int i = 0; i < 3; ++i) {
            TaskRow task = project;
            task.parent_id = project.id;
            tasks.push_back(t->insert_task(task));
        }
        auto change = [&](int task, int author) {
            ChangeRow row;
            row.change_id = t->next_seq();
            row.task_id = task;
            row.project_id = project.id;
            row.author_id = author;
            t->insert_change(row);
        };
        change(tasks[0], ann); // Before Bob joined: never unread for him.
        t->insert_permission({ project.id, bob, 2, t->next_seq(), {} });
        for (int i = 0; i < 3; ++i) {
            change(tasks[std::size_t(i)], ann);
            change(tasks[std::size_t(i)], bob);
        }
        change(tasks[1], ann);
        t->set_viewed(bob, tasks[2], t->current_seq(), 1);
        change(tasks[0], bob);
        for (int user : { ann, bob }) {
            before[user] = t->unread_counts(user, project.id, 0);
            std::sort(before[user].begin(), before[user].end());
        }
        EXPECT_EQ(
            before[bob], (std::vector<std::pair<int, int>> { { tasks[0], 1 }, { tasks[1], 2 } }));
        EXPECT_EQ(before[ann],
            (std::vector<std::pair<int, int>> {
                { tasks[0], 2 }, { tasks[1], 1 }, { tasks[2], 1 } }));
        t->commit();
    }
    // Back to the schema before the counters, as an older server left it.
    for (const char* sql :
        { "DROP TABLE idempotency_keys", "DROP TABLE unread", "DROP TABLE login_failures",
            "DROP TABLE seq_marks", "DELETE FROM counters WHERE name = 'events_horizon'",
            "DROP INDEX sessions_last_use", "DROP INDEX login_keys_last_use",
            "DROP INDEX invitations_expires", "DROP INDEX invitations_inviter",
            "DROP INDEX tasks_list", "ALTER TABLE tasks DROP COLUMN list_date",
            "ALTER TABLE tasks DROP COLUMN list_undated", "UPDATE schema_version SET version = 1" })
        EXPECT_EQ(sqlite(file, sql), 0) << sql;
    auto storage = SqliteStorage::open(file);
    EXPECT_EQ(storage->opened_schema_version(), 1);
    auto t = storage->begin(TransactionKind::Read);
    for (auto& [user, counts] : before) {
        auto after = t->unread_counts(user, 1, 0);
        std::sort(after.begin(), after.end());
        EXPECT_EQ(after, counts) << "user " << user;
    }
}
