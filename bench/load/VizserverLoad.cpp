// vizserver-load: a load program for the task service. It starts a real vizserver on
// loopback (or uses one given by --port), fills a folder with 200 tasks through the client's
// own calls, then measures getFilteredChildren of that folder and updateTask with a comment,
// each for a fixed time over several kept-alive connections, and prints requests per second
// and the 50th and 99th percentile latency.
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
    int tasks { 200 };
    std::string server;
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

// Runs `make_body(connection, n)` on every connection for the given time.
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
                std::string body = make_body(c, n);
                Clock::time_point started = Clock::now();
                auto response = http.post("/service", body);
                Clock::time_point finished = Clock::now();
                if (!response || response->status != 200 || response->body.rfind("//OK[", 0) != 0)
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

void print(const char* name, const Phase& phase)
{
    std::printf("%-34s %9.0f req/s   p50 %7.2f ms   p99 %7.2f ms   (%ld requests, %ld failed)\n",
        name, phase.requests_per_second, phase.p50_ms, phase.p99_ms, phase.requests,
        phase.failures);
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

} // namespace

int main(int argc, char** argv)
{
    Options options;
    options.server
        = (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "vizserver").string();
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        std::string value = i + 1 < argc ? argv[i + 1] : "";
        if (option == "--seconds")
            options.seconds = std::max(1, std::atoi(value.c_str())), ++i;
        else if (option == "--connections")
            options.connections = std::max(1, std::atoi(value.c_str())), ++i;
        else if (option == "--port")
            options.port = std::atoi(value.c_str()), ++i;
        else if (option == "--server")
            options.server = value, ++i;
        else {
            std::printf("usage: vizserver-load [--seconds N] [--connections N] [--port PORT] "
                        "[--server PATH]\n");
            return option == "--help" ? 0 : 2;
        }
    }
    pid_t server = -1;
    std::string database;
    if (options.port == 0) {
        database = (std::filesystem::temp_directory_path()
            / ("vizserver-load-" + std::to_string(::getpid()) + ".db"))
                       .string();
        server = start_server(options, database, options.port);
        if (server < 0 || options.port == 0) {
            std::fprintf(stderr, "vizserver-load: could not start %s\n", options.server.c_str());
            return 1;
        }
    }

    ServiceCalls calls(ServiceIdentity { u"http://127.0.0.1/" });
    LoopbackClient http(options.port);
    ReplyReader reader;
    std::string account = "load" + std::to_string(::getpid()) + "@example.org";
    if (!call(http, body_of(calls.registerUser(from_utf8(account), u"load-password", u"Load")),
            reader)) {
        std::fprintf(stderr, "vizserver-load: registration failed\n");
        return 1;
    }
    WString key(reader.load_string());
    AuthInfo auth;
    if (!call(http, body_of(calls.authenticate(key)), reader) || !auth.load(reader)) {
        std::fprintf(stderr, "vizserver-load: login failed\n");
        return 1;
    }
    auto create = [&](int parent, const WString& title) {
        VizTask task;
        task.id = -1;
        task.parentId = parent;
        task.title = title;
        task.responsibleId = auth.userId;
        VizTask created;
        if (!call(http, body_of(calls.createTask(auth.session, task, u"")), reader)
            || !created.load(reader))
            return -1;
        return created.id;
    };
    int project = create(0, u"Load project");
    int folder = create(project, u"Folder of 200");
    std::vector<VizTask> tasks;
    for (int i = 0; i < options.tasks; ++i) {
        if (create(folder, u"Task number " + to_wstring(i) + u"\r\nwith a description line") < 0) {
            std::fprintf(stderr, "vizserver-load: seeding failed\n");
            return 1;
        }
    }
    if (!call(http, body_of(calls.getFilteredChildren(auth.session, Filter {}, folder)), reader)
        || !load_vector(reader, tasks) || int(tasks.size()) != options.tasks) {
        std::fprintf(stderr, "vizserver-load: the folder does not read back\n");
        return 1;
    }
    std::printf("vizserver-load: %d connections, %d s per phase, folder of %zu tasks\n",
        options.connections, options.seconds, tasks.size());

    std::string read_body = body_of(calls.getFilteredChildren(auth.session, Filter {}, folder));
    Phase reads = run_phase(options, [&](int, long) { return read_body; });
    print("getFilteredChildren (200 tasks)", reads);

    // Each connection writes its own share of the tasks, with its own call writer.
    std::vector<std::unique_ptr<ServiceCalls>> writers;
    for (int c = 0; c < options.connections; ++c)
        writers.push_back(std::make_unique<ServiceCalls>(ServiceIdentity { u"http://127.0.0.1/" }));
    Phase updates = run_phase(options, [&](int c, long n) {
        VizTask task = tasks[std::size_t((c + n * options.connections) % long(tasks.size()))];
        task.done = 1;
        task.plan = 0;
        return body_of(writers[std::size_t(c)]->updateTask(auth.session, task, u"Progress note"));
    });
    print("updateTask with a comment", updates);

    if (server > 0) {
        ::kill(server, SIGTERM);
        ::waitpid(server, nullptr, 0);
        for (const char* suffix : { "", "-wal", "-shm" })
            std::filesystem::remove(database + suffix);
    }
    return reads.failures + updates.failures == 0 ? 0 : 1;
}
