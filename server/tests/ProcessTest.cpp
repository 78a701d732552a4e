// The vizserver program itself: admin subcommands, signals, and a kill in the middle of writes.
#include "server/tests/TestSupport.h"

#include "common/base/Text.h"
#include "device/model/engine/tests/VizServerProcess.h"

#include "CorvaneVersion.h"

#include <sys/stat.h>
#include <sys/wait.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

using namespace corvane;
using namespace corvane::server;
using namespace corvane::server::test;
using corvane::test::VizServerProcess;

// --help names every option and subcommand.
TEST(Program, help_documents_every_option)
{
    Outcome help = run_vizserver({ "--help" }, false);
    EXPECT_EQ(help.status, 0);
    for (const char* word : { "--listen", "--db", "--base-path", "--server-version",
             "--strong-name", "--session-idle", "--key-lifetime", "--outbox", "--no-throttle",
             "--test-clock", "--password-cost", "--demo", "create-user", "expire-sessions",
             "expire-login-keys", "reissue-ticket", "set-level", "seed-demo", "--trusted-proxy",
             "--max-connections", "--max-connections-per-address", "--request-deadline",
             "--purge-interval", "--event-lifetime", "--news-wait", "--news-poll" })
        EXPECT_NE(help.output.find(word), std::string::npos) << word;
    Outcome version = run_vizserver({ "--version" }, false);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output, "vizserver " CORVANE_VERSION "\n");
    EXPECT_EQ(run_vizserver({ "--bogus" }, false).status, 2);
    EXPECT_EQ(run_vizserver({ "--listen", "nowhere" }, false).status, 2);
}

// The admin subcommands work on the database file of a running or stopped server.
TEST(Program, admin_subcommands)
{
    TempFolder folder("vizserver-test");
    VizServerProcess server(folder.file(""));
    EXPECT_EQ(server.admin({ "create-user", "Ann@Example.org", "secret-ann", "Ann" }), 0);
    EXPECT_EQ(server.admin({ "create-user", "ann@example.org", "secret-ann" }), 1);
    EXPECT_EQ(server.admin({ "create-user", "bob@example.org", "secret-bob" }), 0);
    EXPECT_EQ(server.admin({ "create-user", "bad address", "secret-x" }), 1);

    ASSERT_TRUE(server.start());
    RpcClient ann(server.port()), bob(server.port());
    WString key = ann.login(u"ann@example.org", u"secret-ann");
    ASSERT_FALSE(key.empty());
    ASSERT_TRUE(ann.open_session(key));
    WString bob_key = bob.login(u"bob@example.org", u"secret-bob");
    ASSERT_TRUE(bob.open_session(bob_key));
    VizTask project = ann.create(0, u"Project");

    EXPECT_EQ(server.admin({ "set-level", std::to_string(project.id), "bob@example.org", "1" }), 0);
    std::vector<VizTask> seen = bob.children(0);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_FALSE(seen[0].editable);
    EXPECT_EQ(server.admin({ "set-level", std::to_string(project.id), "bob@example.org", "0" }), 0);
    EXPECT_TRUE(bob.children(0).empty());
    EXPECT_EQ(server.admin({ "set-level", "9999", "bob@example.org", "2" }), 1);

    ASSERT_EQ(ann.share(project.id, u"carol@mail.example"), 1);
    EXPECT_EQ(
        server.admin({ "reissue-ticket", std::to_string(project.id), "carol@mail.example" }), 0);
    EXPECT_EQ(server.admin({ "reissue-ticket", std::to_string(project.id), "nobody@x.org" }), 1);

    EXPECT_EQ(server.admin({ "expire-sessions", "ann@example.org" }), 0);
    Task first_page;
    first_page.id = 0;
    ann.list(0, first_page); // The service knew the session: its check goes out with the read.
    EXPECT_EQ(ann.error, u"NOT_LOGGED");
    ann.children(0);
    EXPECT_EQ(ann.error, u"NOT_LOGGED");
    bob.children(0);
    EXPECT_EQ(bob.error, u"") << "only the named account";
    ASSERT_TRUE(ann.open_session(key));
    EXPECT_EQ(server.admin({ "expire-login-keys" }), 0);
    EXPECT_FALSE(ann.open_session(key));
    EXPECT_EQ(ann.error, u"ERROR_LOGIN_EXPIRED");
    EXPECT_EQ(server.admin({ "expire-sessions", "nobody@example.org" }), 1);
    EXPECT_EQ(server.signal_and_wait(SIGTERM), 0);
}

// Killed in the middle of writes, the server restarts on a consistent file: every task's
// stored done equals the sum of its recorded deltas, and counts match the rows.
TEST(Program, restart_after_kill_is_consistent)
{
    TempFolder folder("vizserver-test");
    int project_id = 0, task_id = 0;
    WString key;
    {
        VizServerProcess server(folder.file(""));
        ASSERT_TRUE(server.start());
        RpcClient ann(server.port());
        ASSERT_TRUE(ann.sign_up("ann"));
        key = ann.login_key();
        VizTask project = ann.create(0, u"P");
        VizTask task = ann.create(project.id, u"T");
        project_id = project.id;
        task_id = task.id;
        std::atomic<bool> stop { false };
        std::atomic<int> writes { 0 };
        std::vector<std::thread> writers;
        for (int w = 0; w < 4; ++w) {
            writers.emplace_back([&, w] {
                RpcClient client(server.port());
                if (!client.open_session(key))
                    return;
                VizTask copy = task;
                while (!stop) {
                    if (w % 2 == 0)
                        client.update(copy, u"step", 1, 0);
                    else
                        client.create(project.id, u"child");
                    ++writes;
                }
            });
        }
        // Kill only once writes are streaming in, so the kill lands among them.
        EXPECT_TRUE(wait_until([&] { return writes >= 40; }, std::chrono::seconds(30)));
        EXPECT_EQ(server.signal_and_wait(SIGKILL), -1);
        stop = true;
        for (auto& writer : writers)
            writer.join();
    }
    VizServerProcess again(folder.file(""));
    ASSERT_TRUE(again.start());
    RpcClient ann(again.port());
    ASSERT_TRUE(ann.open_session(key));
    VizTask task = ann.load(task_id).back();
    int sum = 0;
    for (const Change& change : ann.history(task_id))
        sum += change.doneDelta;
    EXPECT_GT(task.done, 0);
    EXPECT_EQ(task.done, sum);
    VizTask project = ann.load(project_id).back();
    EXPECT_EQ(std::size_t(project.childCount), ann.children(project_id).size());
    EXPECT_EQ(again.signal_and_wait(SIGTERM), 0);
}

// Files that hold password hashes, tasks and account names are the owner's alone, whatever
// the umask; the log holds no line a client wrote and grows by a bounded amount per call; a
// missing outbox folder is made, and one that cannot be made stops the start with a reason.
// --demo seeds an account that logs in at once and sees a real project.
TEST(Program, files_log_and_outbox)
{
    TempFolder folder("vizserver-test");
    std::string outbox = folder.file("") + "/more/tickets";
    mode_t old_mask = ::umask(022);
    // Not quiet: every call is logged. The last --outbox names a folder that is not there yet.
    VizServerProcess server(folder.file(""), { "--outbox", outbox, "--demo" });
    std::string db = server.database();
    std::string log = server.log_file();
    {
        ASSERT_TRUE(server.start());
        RpcClient ann(server.port());
        ASSERT_TRUE(ann.sign_up("ann"));
        ann.create(0, u"P");
        RpcClient demo(server.port());
        ASSERT_TRUE(demo.open_session(demo.login(u"demo@example.com", u"demo1234")));
        std::vector<VizTask> projects = demo.children(0);
        ASSERT_EQ(projects.size(), 2u);
        EXPECT_TRUE(projects[0].permissions.size() > 1 || projects[1].permissions.size() > 1);
        EXPECT_TRUE(!projects[0].tag.empty() || !projects[1].tag.empty());
        corvane::server::testing::LoopbackClient http(server.port());
        std::string forged = "x\r\n2026-01-01T00:00:00Z 10.0.0.1 authenticate 200 1 ms"
            + std::string(900 * 1024, 'y');
        std::string body = set_viewed_text("1", forged);
        for (int i = 0; i < 5; ++i)
            ASSERT_EQ(http.post("/service", body)->status, 200);
        auto log_end = [&] { // What the service said last, should it not stop cleanly.
            std::ifstream file(log);
            std::string text((std::istreambuf_iterator<char>(file)), {});
            return text.substr(text.size() > 400 ? text.size() - 400 : 0);
        };
        EXPECT_EQ(server.signal_and_wait(SIGTERM), 0) << log_end();
    }
    ::umask(old_mask);
    for (const std::string& path : { db, db + "-wal", db + "-shm", log }) {
        if (!std::filesystem::exists(path))
            continue; // The WAL files may be checkpointed away at exit.
        auto permissions = std::filesystem::status(path).permissions();
        EXPECT_EQ(permissions & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write)
            << path;
    }
    EXPECT_TRUE(std::filesystem::is_directory(outbox));
    EXPECT_EQ(std::filesystem::status(outbox).permissions() & std::filesystem::perms::all,
        std::filesystem::perms::owner_all);
    std::ifstream file(log);
    std::string line;
    int lines = 0;
    while (std::getline(file, line)) {
        ++lines;
        EXPECT_LT(line.size(), 4096u);
        EXPECT_EQ(line.find("10.0.0.1"), std::string::npos) << "a forged line";
        EXPECT_EQ(line.find("yyyy"), std::string::npos) << "an unknown method name logged";
    }
    EXPECT_GT(lines, 5);

    std::ofstream(folder.file("") + "/file") << "x";
    Outcome refused
        = run_vizserver({ "--listen", "127.0.0.1:0", "--password-cost", "cheap", "--no-throttle",
                            "--quiet", "--db", db, "--outbox", folder.file("") + "/file/sub" },
            false);
    EXPECT_EQ(refused.status, 1);
}
