// vizserver-load: a load program for the task service. It builds a database once (folders of
// 200 tasks, one with 200,000 changes in its history, a project of 100,000 tasks, an owner of
// 1,000 projects), starts a real vizserver on a copy of it on loopback, and measures each
// call of interest for a fixed time over several kept-alive connections: requests per second,
// the 50th and 99th percentile latency, and the rate as a share of GET /health on the same
// server, the ceiling of the HTTP layer.
#include "bench/load/LiveLoad.h"
#include "bench/load/LoadData.h"
#include "server/PgConnection.h"
#include "server/PgStorage.h"
#include "server/SqliteStorage.h"
#include "server/UserView.h"
#include "server/VizServer.h"
#include "server/testing/LoopbackClient.h"

#include "common/base/Text.h"
#include "common/records/AuthInfo.h"
#include "common/records/VizTask.h"
#include "common/records/WireValues.h"
#include "device/rpc/ReplyReader.h"
#include "device/rpc/ServiceCalls.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace corvane;
using corvane::server::testing::LoopbackClient;
using Clock = std::chrono::steady_clock;

namespace {

struct Options {
    int seconds { 10 };
    int connections { 8 };
    int port { 0 };
    std::string server;
    std::string data;
    std::string only; // Runs only the rows whose name holds this text (and the ceiling).
};

std::string body_of(const std::optional<RemoteCall>& call)
{
    return call ? std::string(reinterpret_cast<const char*>(call->body.data()), call->body.size())
                : std::string();
}

// One call whose reply must be a result; the reader is left at the reply's values.
bool call(LoopbackClient& http, const std::string& body, ReplyReader& reader)
{
    auto response = http.post("/service", body);
    return response && response->status == 200 && reader.parse(std::string_view(response->body))
        && !reader.is_exception();
}

struct Phase {
    double requests_per_second { 0 };
    double p50_ms { 0 };
    double p99_ms { 0 };
    long failures { 0 };
    long requests { 0 };
};

// Sends the request `make_body(connection, n)` makes on every connection for the given time.
template<typename MakeBody> Phase run_phase(const Options& options, MakeBody make_body)
{
    std::vector<std::vector<float>> latencies(std::size_t(options.connections));
    std::vector<long> failures(std::size_t(options.connections), 0);
    std::atomic<bool> go { false };
    std::vector<std::thread> threads;
    Clock::time_point end;
    for (int c = 0; c < options.connections; ++c) {
        threads.emplace_back([&, c] {
            LoopbackClient http(options.port);
            auto& mine = latencies[std::size_t(c)];
            mine.reserve(200'000);
            while (!go)
                std::this_thread::yield();
            for (long n = 0; Clock::now() < end; ++n) {
                std::string request = make_body(c, n);
                Clock::time_point started = Clock::now();
                auto response = http.exchange(request);
                Clock::time_point finished = Clock::now();
                if (!response || response->status != 200
                    || (response->body.rfind("//OK[", 0) != 0 && response->body != "ok"))
                    ++failures[std::size_t(c)];
                mine.push_back(
                    std::chrono::duration<float, std::milli>(finished - started).count());
            }
        });
    }
    Clock::time_point start = Clock::now();
    end = start + std::chrono::seconds(options.seconds);
    go = true;
    for (auto& thread : threads)
        thread.join();
    double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    std::vector<float> all;
    Phase phase;
    for (std::size_t c = 0; c < latencies.size(); ++c) {
        all.insert(all.end(), latencies[c].begin(), latencies[c].end());
        phase.failures += failures[c];
    }
    std::sort(all.begin(), all.end());
    phase.requests = long(all.size());
    phase.requests_per_second = double(all.size()) / elapsed;
    if (!all.empty()) {
        phase.p50_ms = all[all.size() / 2];
        phase.p99_ms = all[std::min(all.size() - 1, all.size() * 99 / 100)];
    }
    return phase;
}

void print(const char* name, const Phase& phase, double ceiling)
{
    std::printf("%-64s %8.0f req/s  %6.4f  p50 %7.2f ms  p99 %7.2f ms  (%ld failed)\n", name,
        phase.requests_per_second, ceiling > 0 ? phase.requests_per_second / ceiling : 0.0,
        phase.p50_ms, phase.p99_ms, phase.failures);
    std::fflush(stdout);
}

std::string post_request(const std::optional<RemoteCall>& call)
{
    std::string body = body_of(call);
    return "POST /service HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: text/x-gwt-rpc; "
           "charset=utf-8\r\nContent-Length: "
        + std::to_string(body.size()) + "\r\n\r\n" + body;
}

pid_t start_server(const Options& options, const std::string& database, int& port)
{
    int ends[2];
    if (::pipe(ends) != 0)
        return -1;
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(ends[1], 1);
        ::close(ends[0]);
        const char* argv[] = { options.server.c_str(), "--listen", "127.0.0.1:0", "--db",
            database.c_str(), "--quiet", "--no-throttle", "--password-cost", "cheap", nullptr };
        ::execv(options.server.c_str(), const_cast<char* const*>(argv));
        ::_exit(127);
    }
    ::close(ends[1]);
    std::string line;
    char c;
    while (::read(ends[0], &c, 1) == 1 && c != '\n')
        line.push_back(c);
    ::close(ends[0]);
    std::size_t at = line.rfind(' ');
    port = at == std::string::npos ? 0 : std::atoi(line.c_str() + at + 1);
    return pid;
}

// Runs the service program with `arguments` and waits for it; true when it exits with 0.
bool run_server_command(const Options& options, std::vector<std::string> arguments)
{
    pid_t pid = ::fork();
    if (pid == 0) {
        std::vector<char*> argv { const_cast<char*>(options.server.c_str()) };
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        ::execv(options.server.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)
        && WEXITSTATUS(status) == 0;
}

// A logged-in account on the server under load, with the ids the phases need.
struct Account {
    AuthInfo auth;
    std::vector<VizTask> projects;
};

bool log_in(int port, const char* account, Account& out)
{
    ServiceCalls calls(ServiceIdentity { u"http://127.0.0.1/" });
    LoopbackClient http(port);
    ReplyReader reader;
    if (!call(http, body_of(calls.authenticate(from_utf8(account), from_utf8(load::load_password))),
            reader))
        return false;
    WString key(reader.load_string());
    if (!call(http, body_of(calls.authenticate(key)), reader) || !out.auth.load(reader))
        return false;
    return call(http, body_of(calls.getFilteredChildren(out.auth.session, Filter {}, 0)), reader)
        && load_vector(reader, out.projects);
}

std::vector<VizTask> children(int port, const Account& account, int parent)
{
    ServiceCalls calls(ServiceIdentity { u"http://127.0.0.1/" });
    LoopbackClient http(port);
    ReplyReader reader;
    std::vector<VizTask> tasks;
    if (!call(http, body_of(calls.getFilteredChildren(account.auth.session, Filter {}, parent)),
            reader)
        || !load_vector(reader, tasks))
        tasks.clear();
    return tasks;
}

const VizTask* titled(const std::vector<VizTask>& tasks, WStringView title)
{
    for (const VizTask& task : tasks)
        if (task.title == title)
            return &task;
    return nullptr;
}

// Cursors spread over the whole list of the big project, in list order, read from the file.
std::vector<Task> list_cursors(const std::string& database, int project_id, int count)
{
    auto storage = server::SqliteStorage::open(database);
    auto transaction = storage->begin(server::TransactionKind::Read);
    std::vector<server::TaskRow> rows;
    for (server::TaskRow& row : transaction->project_tasks(project_id))
        if (row.parent_id != 0)
            rows.push_back(std::move(row));
    std::sort(rows.begin(), rows.end(), server::task_before);
    std::vector<Task> cursors;
    for (int i = 0; i < count && !rows.empty(); ++i) {
        const server::TaskRow& row = rows[std::size_t(i) * (rows.size() - 1) / std::size_t(count)];
        Task cursor;
        cursor.id = row.id;
        cursor.complete = row.complete;
        cursor.date = row.date;
        cursor.deadline = row.deadline;
        cursor.title = row.title;
        cursors.push_back(cursor);
    }
    return cursors;
}

// One engine under load: its server, the accounts logged in there and the ids the rows use.
// Both engines hold the same data with the same ids (the PostgreSQL one is a copy).
struct Target {
    Target(const char* engine, std::string database)
        : engine(engine)
        , database(std::move(database))
    {
    }
    const char* engine;
    std::string database;
    pid_t server { -1 };
    int port { 0 };
    Account reader, one, many;
    int fresh_folder { 0 }, history_folder { 0 }, list_project { 0 };
    VizTask fresh_task, hot;
    std::vector<int> one_folders, many_folders;
};

// Starts the server on the target's database and finds what the rows need; false with a
// message on failure.
bool prepare(const Options& options, Target& target)
{
    target.server = start_server(options, target.database, target.port);
    if (target.server < 0 || target.port == 0) {
        std::fprintf(stderr, "vizserver-load: could not start %s on %s\n", options.server.c_str(),
            target.engine);
        return false;
    }
    int port = target.port;
    if (!log_in(port, load::reader_account, target.reader)
        || !log_in(port, load::one_project_account, target.one)
        || !log_in(port, load::many_projects_account, target.many)) {
        std::fprintf(stderr, "vizserver-load: login failed on %s\n", target.engine);
        return false;
    }
    const VizTask* fresh_project = titled(target.reader.projects, u"Fresh project");
    const VizTask* history_project = titled(target.reader.projects, u"Project with a long history");
    const VizTask* list_project = titled(target.reader.projects, load::list_project_title);
    const VizTask* fresh_folder = fresh_project
        ? titled(children(port, target.reader, fresh_project->id), load::fresh_folder_title)
        : nullptr;
    const VizTask* history_folder = history_project
        ? titled(children(port, target.reader, history_project->id), load::history_folder_title)
        : nullptr;
    if (!list_project || !fresh_folder || !history_folder) {
        std::fprintf(stderr, "vizserver-load: the load database lacks a project or folder\n");
        return false;
    }
    target.list_project = list_project->id;
    target.fresh_folder = fresh_folder->id;
    target.history_folder = history_folder->id;
    std::vector<VizTask> fresh_tasks = children(port, target.reader, target.fresh_folder);
    std::vector<VizTask> history_tasks = children(port, target.reader, target.history_folder);
    const VizTask* hot = titled(history_tasks, load::hot_task_title);
    for (const VizTask& task : children(port, target.one, target.one.projects.front().id))
        target.one_folders.push_back(task.id);
    const VizTask* first_of_many = titled(target.many.projects, u"Project 0");
    for (const VizTask& task : children(port, target.many, first_of_many ? first_of_many->id : 0))
        target.many_folders.push_back(task.id);
    if (!hot || fresh_tasks.empty() || target.one_folders.empty() || target.many_folders.empty()) {
        std::fprintf(stderr, "vizserver-load: the load database is incomplete\n");
        return false;
    }
    target.fresh_task = fresh_tasks.front();
    target.hot = *hot;
    return true;
}

// A fresh schema in the PostgreSQL database `base` names, as a URI that works in it; the
// load data is copied there with the service's own copy command.
std::string postgresql_schema_uri(const std::string& base, const std::string& schema)
{
    return base + (base.find('?') == std::string::npos ? "?" : "&") + "options=-c%20search_path%3D"
        + schema;
}

// The live rows, on PostgreSQL in a schema of their own (dropped afterwards) when asked.
int run_live_rows(const Options& options, int waiters, const std::string& postgresql)
{
    load::LiveLoadOptions live { options.server, options.seconds, options.connections, waiters,
        {} };
    if (postgresql.empty())
        return load::run_live_rows(live);
    std::string schema = "vizserver_live_" + std::to_string(::getpid());
    try {
        server::PgConnection::open(postgresql)->execute(("CREATE SCHEMA " + schema).c_str());
        live.database = postgresql_schema_uri(postgresql, schema);
        int status = load::run_live_rows(live);
        server::PgConnection::open(postgresql)
            ->execute(("DROP SCHEMA " + schema + " CASCADE").c_str());
        return status;
    } catch (const server::StorageError& error) {
        std::fprintf(stderr, "vizserver-load: %s\n", error.what());
        return 1;
    }
}

// One row's figures on each engine, for the closing table.
struct Row {
    std::string name;
    bool reads;
    Phase on[2];
};

} // namespace

int main(int argc, char** argv)
{
    Options options;
    std::filesystem::path folder = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    options.server = (folder / "vizserver").string();
    options.data = (folder / "vizserver-load-data.db").string();
    std::string postgresql;
    bool live = false;
    int waiters = load::LiveLoadOptions {}.waiters;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        std::string value = i + 1 < argc ? argv[i + 1] : "";
        if (option == "--seconds")
            options.seconds = std::max(1, std::atoi(value.c_str())), ++i;
        else if (option == "--connections")
            options.connections = std::max(1, std::atoi(value.c_str())), ++i;
        else if (option == "--server")
            options.server = value, ++i;
        else if (option == "--data")
            options.data = value, ++i;
        else if (option == "--only")
            options.only = value, ++i;
        else if (option == "--postgresql" && server::is_postgresql_uri(value))
            postgresql = value, ++i;
        else if (option == "--live")
            live = true;
        else if (option == "--waiters")
            waiters = std::max(1, std::atoi(value.c_str())), ++i;
        else {
            std::printf("usage: vizserver-load [--seconds N] [--connections N] [--server PATH] "
                        "[--data FILE] [--only TEXT] [--postgresql URI]\n"
                        "       vizserver-load --live [--waiters N] [--seconds N] "
                        "[--connections N] [--server PATH] [--postgresql URI]\n");
            return option == "--help" ? 0 : 2;
        }
    }
    // Live updates and several instances: a small database of their own, no load data.
    if (live)
        return run_live_rows(options, waiters, postgresql);
    if (!load::ensure_load_data(options.data)) {
        std::fprintf(stderr, "vizserver-load: the load database could not be built\n");
        return 1;
    }
    // Every run measures a copy, so the calls that write leave the built file as it was.
    std::string database = (std::filesystem::temp_directory_path()
        / ("vizserver-load-" + std::to_string(::getpid()) + ".db"))
                               .string();
    std::filesystem::copy_file(
        options.data, database, std::filesystem::copy_options::overwrite_existing);
    std::vector<Target> targets;
    targets.emplace_back("SQLite", database);
    std::string schema = "vizserver_load_" + std::to_string(::getpid());
    auto finish = [&](int status) {
        for (Target& target : targets) {
            if (target.server > 0) {
                ::kill(target.server, SIGTERM);
                ::waitpid(target.server, nullptr, 0);
            }
        }
        for (const char* suffix : { "", "-wal", "-shm" })
            std::filesystem::remove(database + suffix);
        if (!postgresql.empty()) {
            try {
                server::PgConnection::open(postgresql)
                    ->execute(("DROP SCHEMA IF EXISTS " + schema + " CASCADE").c_str());
            } catch (const server::StorageError& error) {
                std::fprintf(stderr, "vizserver-load: %s\n", error.what());
            }
        }
        return status;
    };
    if (!postgresql.empty()) {
        // The copy is made before any server writes to the file, so both start equal.
        try {
            server::PgConnection::open(postgresql)->execute(("CREATE SCHEMA " + schema).c_str());
        } catch (const server::StorageError& error) {
            std::fprintf(stderr, "vizserver-load: %s\n", error.what());
            postgresql.clear();
            return finish(1);
        }
        std::string uri = postgresql_schema_uri(postgresql, schema);
        Clock::time_point started = Clock::now();
        if (!run_server_command(options, { "copy", "--from", database, "--to", uri })) {
            std::fprintf(stderr, "vizserver-load: the load data could not be copied\n");
            return finish(1);
        }
        std::printf("vizserver-load: copied the load data into PostgreSQL in %.1f s\n",
            std::chrono::duration<double>(Clock::now() - started).count());
        targets.emplace_back("PostgreSQL", uri);
    }

    std::vector<Task> cursors;
    {
        // The big project's id and list cursors, read before the server opens the copy.
        auto storage = server::SqliteStorage::open(database);
        auto transaction = storage->begin(server::TransactionKind::Read);
        std::optional<server::UserRow> user
            = transaction->find_user_by_account(from_utf8(load::reader_account));
        int list_project = 0;
        for (const server::VisibleProject& row : transaction->user_projects(user ? user->id : 0))
            if (row.project.title == load::list_project_title)
                list_project = row.project.id;
        transaction.reset();
        storage.reset();
        cursors = list_cursors(database, list_project, 64);
    }
    if (cursors.empty()) {
        std::fprintf(stderr, "vizserver-load: the load database lacks the big list\n");
        return finish(1);
    }
    for (Target& target : targets)
        if (!prepare(options, target))
            return finish(1);
    std::printf("vizserver-load: %d connections, %d s per phase; rate, share of GET /health, "
                "latency\n",
        options.connections, options.seconds);

    std::vector<std::unique_ptr<ServiceCalls>> writers;
    for (int c = 0; c < options.connections; ++c)
        writers.push_back(std::make_unique<ServiceCalls>(ServiceIdentity { u"http://127.0.0.1/" }));
    auto skipped = [&](const std::string& name) {
        return !options.only.empty() && name.find(options.only) == std::string::npos;
    };
    int failures = 0;
    std::vector<Row> rows;
    auto record = [&](const std::string& name, bool reads, std::size_t engine, const Phase& phase) {
        auto found = std::find_if(
            rows.begin(), rows.end(), [&](const Row& row) { return row.name == name; });
        if (found == rows.end())
            found = rows.insert(rows.end(), Row { name, reads, {} });
        found->on[engine] = phase;
    };
    std::vector<double> ceilings(targets.size(), 0.0);
    // Each row runs on one engine and then on the other, so a neighbour's load on this shared
    // machine falls on both alike. `make(target)` gives the row's request maker there.
    auto run_on = [&](std::size_t engine, int connections, auto make) {
        Options here = options;
        here.port = targets[engine].port;
        here.connections = connections;
        return run_phase(here, make(targets[engine]));
    };
    auto label = [&](const std::string& name, std::size_t engine) {
        return targets.size() > 1 ? name + " [" + targets[engine].engine + "]" : name;
    };
    // Latency goals are for one call at a time; these rows also run on one connection.
    auto measure = [&](const char* name, bool reads, auto make) {
        if (skipped(name))
            return;
        for (int connections : { options.connections, 1 }) {
            std::string row = connections == 1 ? std::string(name) + ", one connection" : name;
            for (std::size_t engine = 0; engine < targets.size(); ++engine) {
                Phase phase = run_on(engine, connections, make);
                print(label(row, engine).c_str(), phase, ceilings[engine]);
                record(row, reads, engine, phase);
                failures += int(phase.failures);
            }
        }
    };
    // The two rows of a comparison run in turn twice and each keeps its better run, so a
    // neighbour's load or the write-ahead log's growth does not decide the ratio.
    auto compare = [&](const char* first_name, auto first, const char* second_name, auto second,
                       bool reads, const char* goal) {
        if (skipped(first_name) && skipped(second_name))
            return;
        for (std::size_t engine = 0; engine < targets.size(); ++engine) {
            Phase a = run_on(engine, options.connections, first);
            Phase b = run_on(engine, options.connections, second);
            Phase a2 = run_on(engine, options.connections, first);
            Phase b2 = run_on(engine, options.connections, second);
            failures += int(a.failures + a2.failures + b.failures + b2.failures);
            if (a2.requests_per_second > a.requests_per_second)
                a = a2;
            if (b2.requests_per_second > b.requests_per_second)
                b = b2;
            print(label(first_name, engine).c_str(), a, ceilings[engine]);
            print(label(second_name, engine).c_str(), b, ceilings[engine]);
            std::printf("%-64s %8.2f (goal %s)\n", "    ratio",
                b.requests_per_second / std::max(1.0, a.requests_per_second), goal);
            record(first_name, reads, engine, a);
            // "  the same ..." names a variant of the row before it.
            std::string second = second_name;
            if (second.starts_with("  "))
                second = std::string(first_name) + ";" + second.substr(1);
            record(second, reads, engine, b);
        }
    };
    const std::string health = "GET /health HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    for (std::size_t engine = 0; engine < targets.size(); ++engine) {
        Phase phase = run_on(engine, options.connections,
            [&](Target&) { return [&](int, long) { return health; }; });
        print(label("GET /health (the ceiling)", engine).c_str(), phase, 0);
        record("GET /health (the ceiling)", true, engine, phase);
        failures += int(phase.failures);
        ceilings[engine] = phase.requests_per_second;
    }
    // A Filter of its own for every request, so the reply cache never answers.
    auto uncached_children = [&](Account Target::*account, int Target::*parent) {
        return [&, account, parent](Target& target) {
            return [&, account, parent](int c, long n) {
                Filter filter;
                filter.responsible = -2 - int(n * options.connections + c);
                return post_request(writers[std::size_t(c)]->getFilteredChildren(
                    (target.*account).auth.session, filter, target.*parent));
            };
        };
    };
    compare("getFilteredChildren, 200 tasks, uncached",
        uncached_children(&Target::reader, &Target::fresh_folder),
        "  the same after 200,000 changes",
        uncached_children(&Target::reader, &Target::history_folder), true, ">= 0.8");
    auto update = [&](VizTask Target::*which) {
        return [&, which](Target& target) {
            return [&, which](int c, long) {
                VizTask task = target.*which;
                task.done = 1;
                task.plan = 0;
                return post_request(writers[std::size_t(c)]->updateTask(
                    target.reader.auth.session, task, u"Progress note"));
            };
        };
    };
    compare("updateTask with a comment, one fresh task", update(&Target::fresh_task),
        "  the same after 200,000 changes", update(&Target::hot), false, ">= 0.8");
    measure("getFilteredList, 25 of 100,000, pages all over", true, [&](Target& target) {
        return [&](int c, long n) {
            const Task& cursor = cursors[std::size_t(n * 7 + c) % cursors.size()];
            return post_request(writers[std::size_t(c)]->getFilteredList(
                target.reader.auth.session, Filter {}, target.list_project, cursor, 25, u""));
        };
    });
    measure("root list of an owner of 1,000 projects, uncached", true, [&](Target& target) {
        return [&](int c, long n) {
            Filter filter;
            filter.responsible = -2 - int(n * options.connections + c);
            return post_request(
                writers[std::size_t(c)]->getFilteredChildren(target.many.auth.session, filter, 0));
        };
    });
    auto create = [&](Account Target::*account, std::vector<int> Target::*folders) {
        return [&, account, folders](Target& target) {
            return [&, account, folders](int c, long n) {
                const std::vector<int>& mine = target.*folders;
                VizTask task;
                task.id = -1;
                task.parentId = mine[std::size_t(n * options.connections + c) % mine.size()];
                task.title = u"New task";
                task.responsibleId = (target.*account).auth.userId;
                return post_request(
                    writers[std::size_t(c)]->createTask((target.*account).auth.session, task, u""));
            };
        };
    };
    compare("createTask, owner of 1 project", create(&Target::one, &Target::one_folders),
        "createTask, owner of 1,000 projects", create(&Target::many, &Target::many_folders), false,
        "0.8 to 1.2");

    if (targets.size() > 1) {
        std::printf("\nPostgreSQL against SQLite, same run (requests per second; reads: goal >= "
                    "0.5)\n%-52s %10s %12s %7s\n",
            "row", "SQLite", "PostgreSQL", "ratio");
        for (const Row& row : rows) {
            double ratio
                = row.on[1].requests_per_second / std::max(1.0, row.on[0].requests_per_second);
            std::printf("%-52s %10.0f %12.0f %7.2f%s\n", row.name.c_str(),
                row.on[0].requests_per_second, row.on[1].requests_per_second, ratio,
                row.reads && ratio < 0.5 ? "  below the goal" : "");
        }
    }
    return finish(failures == 0 ? 0 : 1);
}
