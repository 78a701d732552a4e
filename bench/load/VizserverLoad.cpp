// vizserver-load: a load program for the task service. It builds a database once (folders of
// 200 tasks, one with 200,000 changes in its history, a project of 100,000 tasks, an owner of
// 1,000 projects), starts a real vizserver on a copy of it on loopback, and measures each
// call of interest for a fixed time over several kept-alive connections: requests per second,
// the 50th and 99th percentile latency, and the rate as a share of GET /health on the same
// server, the ceiling of the HTTP layer.
#include "bench/load/LiveLoad.h"
#include "bench/load/LoadData.h"
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
    std::printf("%-52s %8.0f req/s  %6.4f  p50 %7.2f ms  p99 %7.2f ms  (%ld failed)\n", name,
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

} // namespace

int main(int argc, char** argv)
{
    Options options;
    std::filesystem::path folder = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    options.server = (folder / "vizserver").string();
    options.data = (folder / "vizserver-load-data.db").string();
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
        else if (option == "--live")
            live = true;
        else if (option == "--waiters")
            waiters = std::max(1, std::atoi(value.c_str())), ++i;
        else {
            std::printf("usage: vizserver-load [--seconds N] [--connections N] [--server PATH] "
                        "[--data FILE] [--only TEXT]\n"
                        "       vizserver-load --live [--waiters N] [--seconds N] "
                        "[--connections N] [--server PATH]\n");
            return option == "--help" ? 0 : 2;
        }
    }
    // Live updates and several instances: a small database of their own, no load data.
    if (live)
        return load::run_live_rows(
            { options.server, options.seconds, options.connections, waiters });
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
    auto cleanup = [&] {
        for (const char* suffix : { "", "-wal", "-shm" })
            std::filesystem::remove(database + suffix);
    };

    Account reader, one, many;
    std::vector<Task> cursors;
    pid_t server = -1;
    {
        int list_project = 0;
        {
            // The big project's id, read before the server opens the copy.
            auto storage = server::SqliteStorage::open(database);
            auto transaction = storage->begin(server::TransactionKind::Read);
            std::optional<server::UserRow> user
                = transaction->find_user_by_account(from_utf8(load::reader_account));
            for (const server::VisibleProject& row :
                transaction->user_projects(user ? user->id : 0))
                if (row.project.title == load::list_project_title)
                    list_project = row.project.id;
        }
        cursors = list_cursors(database, list_project, 64);
        server = start_server(options, database, options.port);
    }
    if (server < 0 || options.port == 0 || cursors.empty()) {
        std::fprintf(stderr, "vizserver-load: could not start %s\n", options.server.c_str());
        cleanup();
        return 1;
    }
    int failures = 0;
    auto finish = [&](int status) {
        ::kill(server, SIGTERM);
        ::waitpid(server, nullptr, 0);
        cleanup();
        return status;
    };
    if (!log_in(options.port, load::reader_account, reader)
        || !log_in(options.port, load::one_project_account, one)
        || !log_in(options.port, load::many_projects_account, many)) {
        std::fprintf(stderr, "vizserver-load: login failed\n");
        return finish(1);
    }
    const VizTask* fresh_project = titled(reader.projects, u"Fresh project");
    const VizTask* history_project = titled(reader.projects, u"Project with a long history");
    const VizTask* list_project = titled(reader.projects, load::list_project_title);
    if (!fresh_project || !history_project || !list_project) {
        std::fprintf(stderr, "vizserver-load: the load database lacks a project\n");
        return finish(1);
    }
    const VizTask* fresh_folder
        = titled(children(options.port, reader, fresh_project->id), load::fresh_folder_title);
    std::vector<VizTask> history_list = children(options.port, reader, history_project->id);
    const VizTask* history_folder = titled(history_list, load::history_folder_title);
    if (!fresh_folder || !history_folder) {
        std::fprintf(stderr, "vizserver-load: the load database lacks a folder\n");
        return finish(1);
    }
    std::vector<VizTask> fresh_tasks = children(options.port, reader, fresh_folder->id);
    std::vector<VizTask> history_tasks = children(options.port, reader, history_folder->id);
    const VizTask* hot = titled(history_tasks, load::hot_task_title);
    std::vector<int> one_folders, many_folders;
    for (const VizTask& task : children(options.port, one, one.projects.front().id))
        one_folders.push_back(task.id);
    const VizTask* first_of_many = titled(many.projects, u"Project 0");
    for (const VizTask& task : children(options.port, many, first_of_many ? first_of_many->id : 0))
        many_folders.push_back(task.id);
    if (!hot || fresh_tasks.empty() || one_folders.empty() || many_folders.empty()) {
        std::fprintf(stderr, "vizserver-load: the load database is incomplete\n");
        return finish(1);
    }
    std::printf("vizserver-load: %d connections, %d s per phase; rate, share of GET /health, "
                "latency\n",
        options.connections, options.seconds);

    std::vector<std::unique_ptr<ServiceCalls>> writers;
    for (int c = 0; c < options.connections; ++c)
        writers.push_back(std::make_unique<ServiceCalls>(ServiceIdentity { u"http://127.0.0.1/" }));
    auto skipped = [&](const std::string& name) {
        return !options.only.empty() && name.find(options.only) == std::string::npos;
    };
    // Latency goals are for one call at a time; these rows also run on one connection.
    Options single = options;
    single.connections = 1;
    auto measure = [&](const char* name, auto make, double ceiling) {
        if (skipped(name) && ceiling > 0)
            return Phase {};
        Phase phase = run_phase(options, make);
        print(name, phase, ceiling);
        failures += int(phase.failures);
        if (ceiling > 0) {
            phase = run_phase(single, make);
            print("  one connection", phase, ceiling);
            failures += int(phase.failures);
        }
        return phase;
    };
    // The two rows of a comparison run in turn twice and each keeps its better run, so a
    // neighbour's load or the write-ahead log's growth does not decide the ratio.
    auto compare = [&](const char* first_name, auto first, const char* second_name, auto second,
                       const char* goal, double ceiling) {
        if (skipped(first_name) && skipped(second_name))
            return;
        Phase a = run_phase(options, first), b = run_phase(options, second);
        Phase a2 = run_phase(options, first), b2 = run_phase(options, second);
        failures += int(a.failures + a2.failures + b.failures + b2.failures);
        if (a2.requests_per_second > a.requests_per_second)
            a = a2;
        if (b2.requests_per_second > b.requests_per_second)
            b = b2;
        print(first_name, a, ceiling);
        print(second_name, b, ceiling);
        std::printf("%-52s %8.2f (goal %s)\n", "    ratio",
            b.requests_per_second / std::max(1.0, a.requests_per_second), goal);
    };
    const std::string health = "GET /health HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    double ceiling = measure(
        "GET /health (the ceiling)", [&](int, long) { return health; }, 0)
                         .requests_per_second;
    // A Filter of its own for every request, so the reply cache never answers.
    auto uncached_children = [&](const Account& account, int parent) {
        return [&, parent](int c, long n) {
            Filter filter;
            filter.responsible = -2 - int(n * options.connections + c);
            return post_request(
                writers[std::size_t(c)]->getFilteredChildren(account.auth.session, filter, parent));
        };
    };
    compare("getFilteredChildren, 200 tasks, uncached", uncached_children(reader, fresh_folder->id),
        "  the same after 200,000 changes", uncached_children(reader, history_folder->id), ">= 0.8",
        ceiling);
    auto update = [&](const VizTask& target) {
        return [&, target](int c, long) {
            VizTask task = target;
            task.done = 1;
            task.plan = 0;
            return post_request(
                writers[std::size_t(c)]->updateTask(reader.auth.session, task, u"Progress note"));
        };
    };
    compare("updateTask with a comment, one fresh task", update(fresh_tasks.front()),
        "  the same after 200,000 changes", update(*hot), ">= 0.8", ceiling);
    measure(
        "getFilteredList, 25 of 100,000, pages all over",
        [&](int c, long n) {
            const Task& cursor = cursors[std::size_t(n * 7 + c) % cursors.size()];
            return post_request(writers[std::size_t(c)]->getFilteredList(
                reader.auth.session, Filter {}, list_project->id, cursor, 25, u""));
        },
        ceiling);
    measure(
        "root list of an owner of 1,000 projects, uncached", uncached_children(many, 0), ceiling);
    auto create = [&](const Account& account, const std::vector<int>& folders) {
        return [&](int c, long n) {
            VizTask task;
            task.id = -1;
            task.parentId = folders[std::size_t(n * options.connections + c) % folders.size()];
            task.title = u"New task";
            task.responsibleId = account.auth.userId;
            return post_request(
                writers[std::size_t(c)]->createTask(account.auth.session, task, u""));
        };
    };
    compare("createTask, owner of 1 project", create(one, one_folders),
        "createTask, owner of 1,000 projects", create(many, many_folders), "0.8 to 1.2", ceiling);
    return finish(failures == 0 ? 0 : 1);
}
