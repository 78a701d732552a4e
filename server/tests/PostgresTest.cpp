// What only PostgreSQL brings: several stores writing at once under one news cursor, the
// database going away and coming back, and the program's start, migrate and copy on it.
#include "server/PgConnection.h"
#include "server/PgStorage.h"
#include "server/tests/TestSupport.h"

#include "common/base/Text.h"
#include "device/core/testing/TempFolder.h"

#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

using namespace corvane;
using namespace corvane::server;
using namespace corvane::server::test;
using corvane::test::TempFolder;

namespace {

#define REQUIRE_POSTGRESQL()                                                                       \
    if (!postgresql_under_test())                                                                  \
    GTEST_SKIP() << "runs in the PostgreSQL pass of the suite (server_tests_postgresql)"

int control_cluster(const char* action)
{
    const char* cluster = std::getenv("CORVANE_TEST_POSTGRESQL_CLUSTER");
    if (!cluster)
        return -1;
    return std::system(("pg_ctlcluster " + std::string(cluster) + " " + action).c_str());
}

} // namespace

// A password given in the database URI never reaches the log.
TEST(Postgres, log_lines_hide_a_database_password)
{
    const struct {
        const char* uri;
        const char* shown;
    } cases[] = {
        { "postgresql://viz:s3cret@db:5432/corvane", "postgresql://viz:***@db:5432/corvane" },
        { "postgres://viz:p@ss@db?sslmode=require", "postgres://viz:***@db?sslmode=require" },
        { "postgresql://db/c?sslmode=require&password=s3cret&user=viz",
            "postgresql://db/c?sslmode=require&password=***&user=viz" },
        { "postgresql://?password=s3cret", "postgresql://?password=***" },
        { "postgresql://viz@db/corvane?options=-c%20a%3Db",
            "postgresql://viz@db/corvane?options=-c%20a%3Db" },
        { "team:1@file.db", "team:1@file.db" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(database_for_log(c.uri), c.shown);
}

// Two stores (two pools, as two service processes have) write at once while a reader follows
// the news cursor: every change reaches the reader exactly once and in order. A number taken
// from a database sequence can commit after a higher one, and the reader, past the higher
// one, would never see it.
TEST(Postgres, news_cursor_never_skips_a_change_of_concurrent_writers)
{
    REQUIRE_POSTGRESQL();
    std::string uri = test_database("news-cursor");
    auto reader = PgStorage::open(uri);
    int user = 0;
    {
        auto t = reader->begin(TransactionKind::Write);
        user = t->insert_user(u"reader@example.org", u"R", "h");
        t->commit();
    }
    constexpr int per_writer = 150;
    std::atomic<int> writing { 2 };
    auto write = [&](std::string database) {
        auto storage = PgStorage::open(database);
        for (int i = 0; i < per_writer; ++i) {
            auto t = storage->begin(TransactionKind::Write);
            std::int64_t seq = t->next_seq();
            t->insert_event({ seq, EventKind::Change, 1, 0, 0, user });
            // More work between taking the number and the commit, as a real change has.
            ChangeRow change;
            change.change_id = seq;
            change.task_id = 1;
            change.author_id = user;
            t->insert_change(change);
            t->commit();
        }
        --writing;
    };
    std::thread first(write, uri), second(write, uri);
    std::vector<std::int64_t> delivered;
    std::int64_t cursor = 0;
    for (bool last = false; !last;) {
        last = writing == 0; // One more read after both writers have committed everything.
        auto t = reader->begin(TransactionKind::Read);
        for (const EventRow& event : t->events_after(cursor, user, 1000)) {
            delivered.push_back(event.seq);
            cursor = event.seq;
        }
    }
    first.join();
    second.join();
    ASSERT_EQ(delivered.size(), std::size_t(2 * per_writer));
    for (std::size_t i = 0; i < delivered.size(); ++i)
        ASSERT_EQ(delivered[i], std::int64_t(i + 1)) << "a change skipped or seen twice";
}

// A reader's COMMIT waits for its connection's next exchange. That next read must still see
// what was written meanwhile, and a connection left idle must give its snapshot up, or the
// database could clean up no row changed after it.
TEST(Postgres, a_finished_read_sees_later_writes_and_holds_no_snapshot_when_idle)
{
    REQUIRE_POSTGRESQL();
    std::string uri = test_database("idle-read");
    auto reader = PgStorage::open(uri);
    auto writer = PgStorage::open(uri);
    auto read_seq = [&] {
        auto t = reader->begin(TransactionKind::Read);
        std::int64_t seq = t->current_seq();
        t->commit();
        return seq;
    };
    std::int64_t before = read_seq();
    {
        auto t = writer->begin(TransactionKind::Write);
        t->next_seq();
        t->commit();
    }
    EXPECT_EQ(read_seq(), before + 1) << "a read ran on the snapshot of the one before";

    auto watcher = PgConnection::open(uri);
    static constexpr char idle_sql[]
        = "SELECT count(*) FROM pg_stat_activity WHERE datname = current_database()"
          " AND pid <> pg_backend_pid() AND state = 'idle in transaction'";
    EXPECT_TRUE(corvane::test::wait_until(
        [&] { return watcher->run(idle_sql).int32(0, 0) == 0; }, std::chrono::seconds(10)))
        << "an idle connection still holds a read open";
}

// What list pages keep of their projects stays within its folder budget however often a head
// grows, and a head replaced by its grown copy is not counted twice.
TEST(Postgres, kept_project_heads_stay_within_their_folder_budget)
{
    PgProjectHeads heads;
    auto head_with = [](std::size_t folders) {
        auto head = std::make_shared<PgProjectHead>();
        head->read_at_ms = 1000;
        for (std::size_t i = 0; i < folders; ++i)
            head->folders.emplace(int(i) + 1, TaskRow {});
        return head;
    };
    heads.store(1, 10, head_with(1));
    for (int round = 0; round < 200; ++round)
        heads.store(2, 20, head_with(PgProjectHead::max_folders));
    EXPECT_NE(heads.find(1, 10, 1000), nullptr) << "a replaced head's folders still counted";
    int pairs = int(PgProjectHeads::max_folder_rows / PgProjectHead::max_folders) + 1;
    for (int user = 0; user < pairs; ++user)
        heads.store(100 + user, 10, head_with(PgProjectHead::max_folders));
    EXPECT_EQ(heads.find(1, 10, 1000), nullptr) << "kept past the budget";
    EXPECT_NE(heads.find(100 + pairs - 1, 10, 1000), nullptr);
}

// The server stops in the middle of a stream of writes: calls fail at once with an internal
// failure, no write is half kept, and once the server is back the service works again
// without a restart.
TEST(Postgres, database_going_away_fails_calls_and_the_service_heals)
{
    REQUIRE_POSTGRESQL();
    ASSERT_NE(std::getenv("CORVANE_TEST_POSTGRESQL_CLUSTER"), nullptr)
        << "run through run-on-postgresql.sh, which names the cluster to stop";
    RunningServer server;
    RpcClient ann(server.port());
    ASSERT_TRUE(ann.sign_up("ann"));
    VizTask project = ann.create(0, u"P");
    ASSERT_GT(project.id, 0);
    std::atomic<bool> stop { false };
    std::atomic<int> saved { 0 }, refused { 0 };
    std::thread writer([&] {
        RpcClient client(server.port());
        if (!client.open_session(ann.login_key()))
            return;
        for (int i = 0; !stop; ++i) {
            if (client.create(project.id, u"T" + to_wstring(i)).id > 0)
                ++saved;
            else if (client.status == 500)
                ++refused;
        }
    });
    EXPECT_TRUE(wait_until([&] { return saved >= 5; }, std::chrono::seconds(30)));
    ASSERT_EQ(control_cluster("stop -m fast"), 0);
    auto started = std::chrono::steady_clock::now();
    ann.children(project.id);
    EXPECT_EQ(ann.status, 500);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5))
        << "a call waited for the database instead of failing";
    EXPECT_TRUE(wait_until([&] { return refused > 0; }, std::chrono::seconds(30)));
    stop = true;
    writer.join();
    ASSERT_EQ(control_cluster("start"), 0); // Returns once the server accepts connections.

    std::vector<VizTask> children = ann.children(project.id);
    EXPECT_EQ(ann.status, 200) << "the service did not reconnect";
    // A create whose commit went through just as the server stopped may have lost its reply.
    EXPECT_GE(int(children.size()), saved.load());
    EXPECT_LE(int(children.size()), saved.load() + 1);
    int child_count = -1;
    for (const VizTask& task : ann.load(project.id))
        if (task.id == project.id)
            child_count = task.childCount;
    EXPECT_EQ(child_count, int(children.size())) << "a change was half kept";
    EXPECT_GT(ann.create(project.id, u"after").id, 0);
}

// A wrong address, a wrong password and a schema from a newer server stop the program at
// start with the reason; migrate creates the schema, finds it current, and upgrades an older
// one.
TEST(Postgres, start_refuses_a_bad_database_and_migrate_is_repeatable)
{
    REQUIRE_POSTGRESQL();
    std::string uri = test_database("migrate");
    Outcome created = run_vizserver({ "migrate", "--db", uri });
    EXPECT_EQ(created.status, 0);
    EXPECT_NE(created.output.find("from version 0 to 3"), std::string::npos) << created.output;
    Outcome again = run_vizserver({ "migrate", "--db", uri });
    EXPECT_EQ(again.status, 0);
    EXPECT_NE(again.output.find("already at version 3"), std::string::npos) << again.output;
    // A database a step behind (here: before idempotency keys) gets that step and no other.
    PgConnection::open(uri)->execute(
        "DROP TABLE idempotency_keys; UPDATE schema_version SET version = 2");
    Outcome upgraded = run_vizserver({ "migrate", "--db", uri });
    EXPECT_EQ(upgraded.status, 0);
    EXPECT_NE(upgraded.output.find("from version 2 to 3"), std::string::npos) << upgraded.output;
    EXPECT_NO_THROW(PgConnection::open(uri)->execute("SELECT COUNT(*) FROM idempotency_keys"));
    PgConnection::open(uri)->execute("UPDATE schema_version SET version = 99");

    const struct {
        std::string database;
        const char* says;
    } cases[] = {
        { uri, "newer server (schema 99" },
        { "postgresql://127.0.0.1:1/none", "Connection refused" },
        { "postgresql://?password=wrong-password", "password authentication failed" },
        { "postgresql://host:port:port", "invalid integer value" },
    };
    for (const auto& c : cases) {
        Outcome start = run_vizserver({ "--db", c.database, "--listen", "127.0.0.1:0", "--quiet" });
        EXPECT_EQ(start.status, 1) << c.database;
        EXPECT_NE(start.output.find(c.says), std::string::npos) << start.output;
    }
}

// A team's SQLite file moves into PostgreSQL: every table arrives with its counts checked, the
// accounts, sessions, tasks, odd texts and news go on there, new ids follow the old ones, and
// a second copy into the now full database is refused.
TEST(Postgres, copy_moves_a_sqlite_database_whole)
{
    REQUIRE_POSTGRESQL();
    TempFolder folder;
    std::string file = folder.file("team.db");
    ServiceConfig sqlite = test_config();
    sqlite.database = file;
    auto listed = [](const std::vector<VizTask>& tasks) {
        std::vector<std::pair<int, WString>> ids_and_titles;
        for (const VizTask& task : tasks)
            ids_and_titles.emplace_back(task.id, task.title);
        return ids_and_titles;
    };
    std::vector<std::pair<int, WString>> before, news_before;
    RpcClient ann_then(0), bob_then(0); // Their keys and sessions, for after the copy.
    int project = 0;
    {
        RunningServer server(sqlite);
        RpcClient ann(server.port()), bob(server.port());
        ASSERT_TRUE(ann.sign_up("ann"));
        ASSERT_TRUE(bob.sign_up("bob"));
        project = ann.create(0, u"Project").id;
        ASSERT_EQ(ann.share(project, u"bob@example.org"), 1);
        ASSERT_EQ(ann.share(project, u"carol@mail.example"), 1);
        bob.news();
        ann.idempotency_key = "copy-key";
        ann.create(project, u"odd \xD800 \U0001F600 \uE000", u"first");
        ann.idempotency_key.clear();
        ann.create(project, u"b");
        before = listed(ann.children(project));
        bob_then.auth = bob.auth;
        bob_then.session = bob.session;
        news_before = listed(bob.news().tasks); // Reads only: the cursor is the client's.
        ann_then.session = ann.login_key();
    }
    std::string target = test_database("copy-target");
    Outcome copied = run_vizserver({ "copy", "--from", file, "--to", target });
    ASSERT_EQ(copied.status, 0) << copied.output;
    EXPECT_NE(copied.output.find("tasks              3 rows"), std::string::npos) << copied.output;
    EXPECT_NE(copied.output.find("idempotency_keys   1 rows"), std::string::npos) << copied.output;

    ServiceConfig moved = test_config();
    moved.database = target;
    RunningServer server(moved);
    RpcClient ann(server.port()), bob(server.port());
    ASSERT_TRUE(ann.open_session(ann_then.session)) << "login keys came along";
    EXPECT_EQ(listed(ann.children(project)), before);
    bob.session = bob_then.session; // Sessions came along too, and so did the news.
    bob.auth = bob_then.auth;
    EXPECT_EQ(listed(bob.news().tasks), news_before);
    EXPECT_EQ(bob.status, 200);
    EXPECT_GE(news_before.size(), 2u);
    EXPECT_GT(ann.create(project, u"new").id, before.back().first)
        << "new ids follow the copied ones";

    Outcome twice = run_vizserver({ "copy", "--from", file, "--to", target });
    EXPECT_EQ(twice.status, 1);
    EXPECT_NE(twice.output.find("not empty"), std::string::npos) << twice.output;
}
