#include "bench/load/LiveLoad.h"
#include "bench/load/LiveAccounts.h"
#include "bench/load/LiveWaiters.h"
#include "bench/load/ProcessProbes.h"

#include "server/PgConnection.h"
#include "server/PgStorage.h"
#include "server/Storage.h"
#include "server/testing/LoopbackClient.h"
#include "server/testing/ServiceCluster.h"

#include "common/base/Text.h"
#include "common/records/AuthInfo.h"
#include "common/records/FilteredNews.h"
#include "common/records/VizTask.h"
#include "common/records/WireValues.h"
#include "device/rpc/ReplyReader.h"
#include "device/rpc/ServiceCalls.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <thread>

namespace corvane::load {

namespace {

    using server::testing::ServiceCluster;

    // A process or group of processes whose processor time a row charges to its calls.
    struct Tier {
        const char* name;
        std::function<double()> seconds;
    };

    Tier processes(const char* name, std::vector<pid_t> pids)
    {
        return { name, [pids] {
                    double total = 0;
                    for (pid_t pid : pids)
                        total += cpu_seconds(pid);
                    return total;
                } };
    }

    struct Rate {
        double per_second { 0 };
        long requests { 0 };
        long failures { 0 };
        std::vector<double> tier_us; // processor time per call, in the order of the tiers
        double client_us { 0 };
    };

    // Sends `make(connection, n)` on every connection for the given time; the rate and the
    // processor time per call of every tier.
    Rate hammer(const LiveLoadOptions& options, int port, const std::vector<Tier>& tiers,
        const std::function<std::string(int, long)>& make)
    {
        std::vector<long> done(std::size_t(options.connections)),
            failed(std::size_t(options.connections));
        std::vector<double> cpu_before;
        for (const Tier& tier : tiers)
            cpu_before.push_back(tier.seconds());
        double own_before = own_cpu_seconds();
        Clock::time_point start = Clock::now();
        Clock::time_point end = start + std::chrono::seconds(options.seconds);
        std::vector<std::thread> threads;
        for (int c = 0; c < options.connections; ++c)
            threads.emplace_back([&, c] {
                LoopbackClient http(port);
                for (long n = 0; Clock::now() < end; ++n) {
                    auto response = http.exchange(make(c, n));
                    ++done[std::size_t(c)];
                    if (!response || response->status != 200
                        || response->body.rfind("//OK[", 0) != 0)
                        ++failed[std::size_t(c)];
                }
            });
        for (std::thread& thread : threads)
            thread.join();
        Rate rate;
        for (int c = 0; c < options.connections; ++c) {
            rate.requests += done[std::size_t(c)];
            rate.failures += failed[std::size_t(c)];
        }
        rate.per_second = double(rate.requests) / (ms_since(start) / 1000);
        double calls = double(std::max(1L, rate.requests));
        for (std::size_t i = 0; i < tiers.size(); ++i)
            rate.tier_us.push_back((tiers[i].seconds() - cpu_before[i]) * 1e6 / calls);
        rate.client_us = (own_cpu_seconds() - own_before) * 1e6 / calls;
        return rate;
    }

    void print(const char* name, const Rate& rate, const std::vector<Tier>& tiers)
    {
        std::printf("  %-44s %8.0f req/s  us/call:", name, rate.per_second);
        for (std::size_t i = 0; i < tiers.size() && i < rate.tier_us.size(); ++i)
            std::printf(" %s %.0f", tiers[i].name, rate.tier_us[i]);
        std::printf(" client %.0f  (%ld failed)\n", rate.client_us, rate.failures);
        std::fflush(stdout);
    }

    // The processor time of the database's own processes, when it has any (SQLite runs inside
    // vizserver). False when the database server could not be found.
    bool database_tiers(const std::string& database, std::vector<Tier>& behind)
    {
        if (!server::is_postgresql_uri(database))
            return true;
        // Only the server of this database: other clusters on the machine are not its cost.
        pid_t database_server = 0;
        try {
            database_server = parent_of(pid_t(server::PgConnection::open(database)
                                                  ->run("SELECT pg_backend_pid()::int8")
                                                  .int64(0, 0)));
        } catch (const server::StorageError& error) {
            std::fprintf(stderr, "vizserver-load: %s\n", error.what());
        }
        if (database_server <= 0)
            return false;
        behind.push_back({ "postgresql",
            [database_server] { return server_tree_cpu_seconds(database_server); } });
        return true;
    }

    // One way of reaching the instances, with the processes its calls are charged to.
    struct Setup {
        const char* name;
        int port;
        std::vector<Tier> tiers;
        Rate best {};
    };

    // The same call through every setup. Each setup runs twice in turn and keeps its better run,
    // so a neighbour's load or a cold cache does not decide the ratio. Answers the failures.
    int compare_setups(const LiveLoadOptions& options, const char* name, std::vector<Setup> setups,
        const std::function<std::string(int, long)>& make)
    {
        std::printf(" %s\n", name);
        int failures = 0;
        for (int round = 0; round < 2; ++round) {
            for (Setup& setup : setups) {
                Rate rate = hammer(options, setup.port, setup.tiers, make);
                failures += int(rate.failures);
                if (rate.per_second > setup.best.per_second)
                    setup.best = rate;
            }
        }
        for (const Setup& setup : setups)
            print(setup.name, setup.best, setup.tiers);
        const Rate& alone = setups[0].best;
        const Rate& proxied = setups[1].best;
        const Rate& both = setups[2].best;
        std::printf("  %-44s %8.2f (against one behind haproxy: %.2f)\n", "ratio two / one direct",
            both.per_second / std::max(1.0, alone.per_second),
            both.per_second / std::max(1.0, proxied.per_second));
        return failures;
    }

    // One instance against two on the same database, reads and writes, then the news check while
    // two writers load both instances. Answers the failures.
    int throughput_rows(LiveRun& run, const std::vector<Tier>& behind)
    {
        const LiveLoadOptions& options = run.options;
        ServiceCluster& one = run.one;
        ServiceCluster& two = run.two;
        Account& ann = run.ann;
        int direct = one.instance_port(0);
        int failures = 0;
        std::printf("one instance against two on the same database (%d connections, %d s each)\n",
            options.connections, options.seconds);
        std::vector<std::unique_ptr<ServiceCalls>> calls;
        for (int c = 0; c < options.connections; ++c)
            calls.push_back(
                std::make_unique<ServiceCalls>(ServiceIdentity { u"http://127.0.0.1/" }));
        // A Filter of its own for every request, so the reply cache never answers.
        auto read = [&](int c, long n) {
            Filter filter;
            filter.responsible = -2 - int(n * options.connections + c);
            return LoopbackClient::call_request(body_of(calls[std::size_t(c)]->getFilteredChildren(
                ann.auth.session, filter, run.reads.id)));
        };
        // A folder takes 1,000 tasks at most: the writes go round folders with room to spare.
        auto make_folders = [&](int parent, int count) {
            std::vector<int> folders;
            for (int i = 0; i < count; ++i)
                folders.push_back(ann.create(parent, u"Folder " + to_wstring(i)).id);
            return folders;
        };
        std::vector<int> write_folders = make_folders(run.writes.id, 400);
        std::atomic<long> written { 0 };
        auto write = [&](int c, long) {
            VizTask created;
            created.id = -1;
            created.parentId = write_folders[std::size_t(written++ / 900) % write_folders.size()];
            created.title = u"Written under load";
            created.responsibleId = ann.auth.userId;
            return LoopbackClient::call_request(
                body_of(calls[std::size_t(c)]->createTask(ann.auth.session, created, u"")));
        };
        auto with_database = [&](std::vector<Tier> tiers) {
            tiers.insert(tiers.end(), behind.begin(), behind.end());
            return tiers;
        };
        Tier single = processes("vizserver", { one.instance_pid(0) });
        Tier pair = processes("vizservers", { two.instance_pid(0), two.instance_pid(1) });
        Tier front1 = processes("haproxy", { one.proxy_pid() });
        Tier front2 = processes("haproxy", { two.proxy_pid() });
        std::vector<Setup> setups = { { "one instance, direct", direct, with_database({ single }) },
            { "one instance behind haproxy", one.port(), with_database({ front1, single }) },
            { "two instances behind haproxy", two.port(), with_database({ front2, pair }) } };
        failures
            += compare_setups(options, "getFilteredChildren, 200 tasks, uncached", setups, read);
        failures += compare_setups(options, "createTask", setups, write);
        if (behind.empty())
            std::printf(
                "(SQLite runs inside vizserver: the database's processor time is in its column)\n");

        // Writes through two instances while a reader takes the news through the balancer. Two
        // writers only: a reader more than 1,000 tasks behind is sent back to reload everything,
        // which would end the check, not show a skipped change.
        write_folders = make_folders(ann.create(run.writes.id, u"Checked").id, 100);
        written = 0;
        LiveLoadOptions two_writers = options;
        two_writers.connections = 2;
        NewsCheck check(two.port(), "bob", write_folders);
        hammer(two_writers, two.port(), {}, write);
        failures += check.finish(ann, [&] { return ann.create(write_folders[0], u"Last").id > 0; });
        return failures;
    }

} // namespace

int run_live_rows(const LiveLoadOptions& options)
{
    char pattern[] = "/tmp/vizserver-live-XXXXXX";
    std::string folder = ::mkdtemp(pattern);
    std::string database = options.database.empty() ? folder + "/live.db" : options.database;
    std::vector<std::string> extra { "--quiet", "--no-throttle", "--password-cost", "cheap",
        "--news-wait", "60s", "--max-connections", std::to_string(options.waiters + 1000) };
    std::filesystem::create_directories(folder + "/one");
    std::filesystem::create_directories(folder + "/two");
    ServiceCluster one({ options.vizserver, folder + "/one", database, 1, extra });
    ServiceCluster two({ options.vizserver, folder + "/two", database, 2, extra });
    auto finish = [&](int status) {
        one.stop();
        two.stop();
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
        return status;
    };
    if (!one.start() || !two.start()) {
        std::fprintf(stderr, "vizserver-load: %s%s\n", one.error().c_str(), two.error().c_str());
        return finish(1);
    }
    int direct = one.instance_port(0);
    Account ann(direct), bob(direct);
    if (!ann.sign_up("ann") || !bob.sign_up("bob")) {
        std::fprintf(stderr, "vizserver-load: the accounts could not be made\n");
        return finish(1);
    }
    VizTask project = ann.create(0, u"Live");
    VizTask writes = ann.create(project.id, u"Writes");
    VizTask reads = ann.create(project.id, u"Reads");
    int made = 0;
    for (int i = 0; i < 200; ++i)
        made += ann.create(reads.id, u"Task " + to_wstring(i)).id > 0;
    if (made != 200 || writes.id <= 0
        || !ann.call(
            ann.calls.changePermission(ann.auth.session, project.id, u"bob@live.example", 2))) {
        std::fprintf(stderr, "vizserver-load: the project could not be made\n");
        return finish(1);
    }
    VizTask task = ann.create(project.id, u"Watched");
    FilteredNews news;
    bob.news(news);

    int failures = parked_waiters(options, one, ann, task, { &bob });
    bob.news(news);
    LiveRun run { options, one, two, ann, writes, reads };
    int members = member_waiter_rows(run);
    if (members < 0) {
        std::fprintf(stderr, "vizserver-load: the members could not be made\n");
        return finish(1);
    }
    failures += members;

    std::printf("commit by one account to news on another's waiting client, 20 rounds\n");
    std::vector<int> all { direct, two.instance_port(0), two.instance_port(1) };
    failures += commit_to_news("one instance", direct, direct, all, ann.auth, bob.auth, task);
    failures += commit_to_news("two instances, writer on one, reader on the other",
        two.instance_port(0), two.instance_port(1), all, ann.auth, bob.auth, task);
    failures += commit_to_news(
        "two instances behind haproxy", two.port(), two.port(), all, ann.auth, bob.auth, task);

    std::vector<Tier> behind;
    if (!database_tiers(database, behind))
        return finish(1);
    failures += throughput_rows(run, behind);
    return finish(failures == 0 ? 0 : 1);
}

} // namespace corvane::load
