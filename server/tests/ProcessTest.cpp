// The vizserver program itself: admin subcommands, signals, and a kill in the middle of writes.
#include "server/tests/TestSupport.h"

#include "device/core/Text.h"

#include "CorvaneVersion.h"

#include <sqlite3.h>

#include <sys/wait.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

using namespace corvane;
using namespace corvane::server;
using namespace corvane::server::test;

namespace {

struct Outcome {
    int status { -1 };
    std::string output;
};

// Runs the program to its end and collects standard output.
Outcome run_program(const std::vector<std::string>& arguments)
{
    std::string command = executable_folder() + "/vizserver";
    for (const std::string& argument : arguments)
        command += " '" + argument + "'";
    command += " 2>/dev/null";
    Outcome outcome;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return outcome;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        outcome.output.append(buffer, n);
    int status = ::pclose(pipe);
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

// A serving vizserver process; its port is read from the line it prints once listening.
class ServerProcess {
public:
    explicit ServerProcess(std::vector<std::string> arguments)
    {
        int pipe_ends[2];
        if (::pipe(pipe_ends) != 0)
            return;
        std::string program = executable_folder() + "/vizserver";
        arguments.insert(arguments.begin(), program);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(pipe_ends[1], 1);
            ::close(pipe_ends[0]);
            std::vector<char*> argv;
            for (std::string& argument : arguments)
                argv.push_back(argument.data());
            argv.push_back(nullptr);
            ::execv(program.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(pipe_ends[1]);
        std::string line;
        char c;
        while (::read(pipe_ends[0], &c, 1) == 1 && c != '\n')
            line.push_back(c);
        ::close(pipe_ends[0]);
        std::size_t at = line.rfind(' ');
        if (line.starts_with("vizserver listening on port") && at != std::string::npos)
            m_port = std::atoi(line.c_str() + at + 1);
    }
    ~ServerProcess()
    {
        if (m_pid > 0 && !m_reaped) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    int port() const { return m_port; }
    void signal(int number) { ::kill(m_pid, number); }
    // Sends the signal and answers the exit status (-1 when killed by it).
    int signal_and_wait(int signal)
    {
        ::kill(m_pid, signal);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_reaped = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t m_pid { -1 };
    int m_port { 0 };
    bool m_reaped { false };
};

std::string temp_database(const char* name)
{
    std::string path = (std::filesystem::temp_directory_path()
        / ("vizserver-" + std::string(name) + "-" + std::to_string(::getpid()) + ".db"))
                           .string();
    for (const char* suffix : { "", "-wal", "-shm" })
        std::filesystem::remove(path + suffix);
    return path;
}

const std::vector<std::string> common
    = { "--listen", "127.0.0.1:0", "--password-cost", "cheap", "--no-throttle", "--quiet" };

std::vector<std::string> with_common(std::vector<std::string> arguments)
{
    arguments.insert(arguments.end(), common.begin(), common.end());
    return arguments;
}

} // namespace

// --help names every option and subcommand.
TEST(Program, help_documents_every_option)
{
    Outcome help = run_program({ "--help" });
    EXPECT_EQ(help.status, 0);
    for (const char* word :
        { "--listen", "--db", "--base-path", "--server-version", "--strong-name", "--session-idle",
            "--key-lifetime", "--outbox", "--no-throttle", "--test-clock", "--password-cost",
            "--demo", "create-user", "expire-sessions", "expire-login-keys", "reissue-ticket",
            "set-level", "seed-demo", "backup", "--version" })
        EXPECT_NE(help.output.find(word), std::string::npos) << word;
    Outcome version = run_program({ "--version" });
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output, "vizserver " CORVANE_VERSION "\n");
    EXPECT_EQ(run_program({ "--bogus" }).status, 2);
    EXPECT_EQ(run_program({ "--listen", "nowhere" }).status, 2);
}

// The admin subcommands work on the database file of a running or stopped server.
TEST(Program, admin_subcommands)
{
    std::string db = temp_database("admin");
    std::vector<std::string> on_db = { "--db", db, "--password-cost", "cheap" };
    auto admin = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.end(), on_db.begin(), on_db.end());
        return run_program(arguments);
    };
    EXPECT_EQ(admin({ "create-user", "Ann@Example.org", "secret-ann", "Ann" }).status, 0);
    EXPECT_EQ(admin({ "create-user", "ann@example.org", "secret-ann" }).status, 1);
    EXPECT_EQ(admin({ "create-user", "bob@example.org", "secret-bob" }).status, 0);
    EXPECT_EQ(admin({ "create-user", "bad address", "secret-x" }).status, 1);

    ServerProcess server(with_common({ "--db", db }));
    ASSERT_GT(server.port(), 0);
    RpcClient ann(server.port()), bob(server.port());
    WString key = ann.login(u"ann@example.org", u"secret-ann");
    ASSERT_FALSE(key.empty());
    ASSERT_TRUE(ann.open_session(key));
    WString bob_key = bob.login(u"bob@example.org", u"secret-bob");
    ASSERT_TRUE(bob.open_session(bob_key));
    VizTask project = ann.create(0, u"Project");

    EXPECT_EQ(admin({ "set-level", std::to_string(project.id), "bob@example.org", "1" }).status, 0);
    std::vector<VizTask> seen = bob.children(0);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_FALSE(seen[0].editable);
    EXPECT_EQ(admin({ "set-level", std::to_string(project.id), "bob@example.org", "0" }).status, 0);
    EXPECT_TRUE(bob.children(0).empty());
    EXPECT_EQ(admin({ "set-level", "9999", "bob@example.org", "2" }).status, 1);

    ASSERT_EQ(ann.share(project.id, u"carol@mail.example"), 1);
    Outcome reissued
        = admin({ "reissue-ticket", std::to_string(project.id), "carol@mail.example" });
    EXPECT_EQ(reissued.status, 0);
    // Without an outbox the ticket is the operator's to hand on: on standard output, not logged.
    EXPECT_NE(reissued.output.find("--START-OF-TICKET--"), std::string::npos) << reissued.output;
    EXPECT_EQ(admin({ "reissue-ticket", std::to_string(project.id), "nobody@x.org" }).status, 1);

    EXPECT_EQ(admin({ "expire-sessions", "ann@example.org" }).status, 0);
    ann.children(0);
    EXPECT_EQ(ann.error, u"NOT_LOGGED");
    bob.children(0);
    EXPECT_EQ(bob.error, u"") << "only the named account";
    ASSERT_TRUE(ann.open_session(key));
    EXPECT_EQ(admin({ "expire-login-keys" }).status, 0);
    EXPECT_FALSE(ann.open_session(key));
    EXPECT_EQ(ann.error, u"ERROR_LOGIN_EXPIRED");
    EXPECT_EQ(admin({ "expire-sessions", "nobody@example.org" }).status, 1);
    EXPECT_EQ(server.signal_and_wait(SIGTERM), 0);
}

// --demo seeds an account that logs in at once and sees a real project.
TEST(Program, demo_data_logs_in)
{
    ServerProcess server(with_common({ "--db", ":memory:", "--demo" }));
    ASSERT_GT(server.port(), 0);
    RpcClient demo(server.port());
    WString key = demo.login(u"demo@example.com", u"demo1234");
    ASSERT_EQ(key.size(), 64u);
    ASSERT_TRUE(demo.open_session(key));
    std::vector<VizTask> projects = demo.children(0);
    ASSERT_EQ(projects.size(), 2u);
    bool shared = false, tagged = false;
    for (const VizTask& project : projects) {
        shared = shared || project.permissions.size() > 1;
        tagged = tagged || !project.tag.empty();
    }
    EXPECT_TRUE(shared);
    EXPECT_TRUE(tagged);
    EXPECT_EQ(server.signal_and_wait(SIGINT), 0);
}

// Killed in the middle of writes, the server restarts on a consistent file: every task's
// stored done equals the sum of its recorded deltas, and counts match the rows.
TEST(Program, restart_after_kill_is_consistent)
{
    std::string db = temp_database("kill");
    int project_id = 0, task_id = 0;
    WString key;
    {
        ServerProcess server(with_common({ "--db", db }));
        ASSERT_GT(server.port(), 0);
        RpcClient ann(server.port());
        ASSERT_TRUE(ann.sign_up("ann"));
        key = ann.login_key();
        VizTask project = ann.create(0, u"P");
        VizTask task = ann.create(project.id, u"T");
        project_id = project.id;
        task_id = task.id;
        std::atomic<bool> stop { false };
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
                }
            });
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        EXPECT_EQ(server.signal_and_wait(SIGKILL), -1);
        stop = true;
        for (auto& writer : writers)
            writer.join();
    }
    ServerProcess again(with_common({ "--db", db }));
    ASSERT_GT(again.port(), 0);
    RpcClient ann(again.port());
    ASSERT_TRUE(ann.open_session(key));
    VizTask task = ann.load(task_id).back();
    std::vector<Change> history = ann.changes(task_id, 100, 1'000'000'000);
    int sum = 0;
    std::size_t pages = 0;
    while (!history.empty() && pages++ < 1000) {
        for (const Change& change : history)
            sum += change.doneDelta;
        history = ann.changes(task_id, 100, history.back().changeId - 1);
    }
    EXPECT_GT(task.done, 0);
    EXPECT_EQ(task.done, sum);
    VizTask project = ann.load(project_id).back();
    EXPECT_EQ(std::size_t(project.childCount), ann.children(project_id).size());
    EXPECT_EQ(again.signal_and_wait(SIGTERM), 0);
}

// A backup taken while the service writes is intact and holds every account acknowledged before
// it began; the service starts on the copy. A backup that cannot be written leaves nothing.
TEST(Program, backup_under_writes_restores)
{
    std::string db = temp_database("backup-source");
    std::string copy = temp_database("backup-copy");
    std::atomic<int> acknowledged { 0 };
    int acknowledged_before = 0;
    {
        ServerProcess server(with_common({ "--db", db }));
        ASSERT_GT(server.port(), 0);
        std::atomic<bool> stop { false };
        std::thread writer([&] {
            RpcClient client(server.port());
            for (int i = 0; !stop; ++i) {
                if (client.sign_up("user" + std::to_string(i)))
                    acknowledged = i + 1;
            }
        });
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (acknowledged < 20 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        if (acknowledged < 20) {
            stop = true;
            writer.join();
            FAIL() << "the writer made no progress";
        }
        acknowledged_before = acknowledged;
        Outcome backup = run_program({ "backup", "--db", db, "--to", copy });
        int acknowledged_after = acknowledged;
        stop = true;
        writer.join();
        ASSERT_EQ(backup.status, 0);
        EXPECT_GT(acknowledged_after, acknowledged_before) << "no write overlapped the backup";
        EXPECT_EQ(server.signal_and_wait(SIGTERM), 0);
    }
    sqlite3* check = nullptr;
    ASSERT_EQ(sqlite3_open_v2(copy.c_str(), &check, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* statement = nullptr;
    ASSERT_EQ(
        sqlite3_prepare_v2(check, "PRAGMA integrity_check", -1, &statement, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(statement), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)), "ok");
    sqlite3_finalize(statement);
    sqlite3_close(check);
    EXPECT_EQ(std::filesystem::status(copy).permissions() & std::filesystem::perms::all,
        std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    ServerProcess restored(with_common({ "--db", copy }));
    ASSERT_GT(restored.port(), 0);
    for (int i = 0; i < acknowledged_before; ++i) {
        RpcClient user(restored.port());
        std::string name = "user" + std::to_string(i);
        EXPECT_EQ(
            user.login(from_utf8(name + "@example.org"), u"secret-" + from_utf8(name)).size(), 64u)
            << name;
    }
    EXPECT_EQ(restored.signal_and_wait(SIGTERM), 0);

    // Bad targets and sources: non-zero, nothing created, the source unchanged.
    auto size_before = std::filesystem::file_size(db);
    EXPECT_EQ(
        run_program({ "backup", "--db", db, "--to", "/nonexistent/folder/copy.db" }).status, 1);
    EXPECT_EQ(run_program({ "backup", "--db", db + ".missing", "--to", copy + "2" }).status, 1);
    EXPECT_FALSE(std::filesystem::exists(copy + "2"));
    EXPECT_FALSE(std::filesystem::exists(db + ".missing"));
    EXPECT_EQ(run_program({ "backup", "--db", db }).status, 2);
    // A full disk, as a file size limit the copy outgrows: the old copy stays as it was.
    auto copy_size = std::filesystem::file_size(copy);
    std::string full_disk = "ulimit -f 8; trap '' XFSZ; exec " + executable_folder()
        + "/vizserver backup --db " + db + " --to " + copy + " 2>" + copy + ".err";
    int status = std::system(("sh -c \"" + full_disk + "\"").c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    std::ifstream err(copy + ".err");
    std::string message((std::istreambuf_iterator<char>(err)), {});
    EXPECT_NE(message.find(copy + ".partial"), std::string::npos) << message;
    EXPECT_EQ(std::filesystem::file_size(copy), copy_size);
    EXPECT_FALSE(std::filesystem::exists(copy + ".partial"));
    std::filesystem::remove(copy + ".err");
    EXPECT_EQ(std::filesystem::file_size(db), size_before);
    for (const std::string& file : { db, copy })
        for (const char* suffix : { "", "-wal", "-shm" })
            std::filesystem::remove(file + suffix);
}

namespace {

std::string read_text(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Polls a file until it holds `text` or the time is up.
bool wait_for_text(const std::filesystem::path& path, const std::string& text)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (read_text(path).find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

} // namespace

// A whole session's log holds no password, login key, session key or invitation ticket, and
// SIGHUP starts a new file under the same name once rotation has moved the old one away.
TEST(Program, log_rotates_on_sighup_and_keeps_no_secrets)
{
    std::filesystem::path folder
        = std::filesystem::temp_directory_path() / ("vizserver-log-" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder / "outbox");
    std::filesystem::path log = folder / "service.log";
    ServerProcess server({ "--listen", "127.0.0.1:0", "--password-cost", "cheap", "--db",
        (folder / "service.db").string(), "--log", log.string(), "--outbox",
        (folder / "outbox").string() });
    ASSERT_GT(server.port(), 0);
    RpcClient ann(server.port());
    ASSERT_TRUE(ann.sign_up("ann"));
    WString password_key = ann.login(u"ann@example.org", u"secret-ann");
    EXPECT_EQ(password_key.size(), 64u);
    EXPECT_EQ(ann.login(u"ann@example.org", u"wrong-password-typed"), u"");
    VizTask project = ann.create(0, u"Garden");
    ASSERT_EQ(ann.share(project.id, u"carol@mail.example"), 1);

    std::filesystem::rename(log, folder / "service.log.1");
    server.signal(SIGHUP);
    ASSERT_TRUE(wait_for_text(log, "SIGHUP: log reopened"));
    (void)ann.children(0);
    EXPECT_EQ(server.signal_and_wait(SIGTERM), 0);
    std::string rotated = read_text(folder / "service.log.1");
    std::string fresh = read_text(log);
    EXPECT_NE(rotated.find("registerUser"), std::string::npos) << rotated;
    EXPECT_NE(fresh.find("getFilteredChildren"), std::string::npos) << fresh;

    std::vector<std::string> secrets = { "secret-ann", "wrong-password-typed",
        to_utf8(ann.login_key()), to_utf8(password_key), to_utf8(ann.session) };
    for (const auto& entry : std::filesystem::directory_iterator(folder / "outbox")) {
        std::string mail = read_text(entry.path());
        std::size_t start = mail.find("--START-OF-TICKET--\r\n");
        ASSERT_NE(start, std::string::npos);
        start += 21;
        secrets.push_back(mail.substr(start, mail.find("\r\n--END-OF-TICKET--") - start));
    }
    ASSERT_EQ(secrets.size(), 6u);
    for (const std::string& secret : secrets) {
        ASSERT_GE(secret.size(), 10u);
        EXPECT_EQ((rotated + fresh).find(secret), std::string::npos) << secret;
    }
    std::filesystem::remove_all(folder);
}
