#include "bench/load/LiveLoad.h"
#include "bench/load/LiveAccounts.h"
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

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <thread>

namespace corvane::load {

namespace {

    using server::testing::ServiceCluster;

    // A gauge from the instance's /metrics, or -1.
    long gauge(int port, const std::string& name)
    {
        LoopbackClient http(port);
        auto response = http.exchange("GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        std::size_t at = response ? response->body.find("\n" + name + " ") : std::string::npos;
        return at == std::string::npos ? -1
                                       : std::atol(response->body.c_str() + at + name.size() + 2);
    }

    // Waits (polling, with a deadline) until the instances hold `count` parked calls in all.
    bool parked(const std::vector<int>& ports, long count, int seconds)
    {
        auto deadline = Clock::now() + std::chrono::seconds(seconds);
        while (Clock::now() < deadline) {
            long total = 0;
            for (int port : ports)
                total += std::max(0L, gauge(port, "vizserver_news_waiters"));
            if (total == count)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    // `waiters` waitNews calls of one account parked on one instance, then one commit by
    // another account that concerns them all.
    int parked_waiters(const LiveLoadOptions& options, ServiceCluster& one, Account& writer,
        const VizTask& task, const std::vector<Account*>& readers)
    {
        std::printf("%d waitNews calls of %zu account(s) parked on one instance\n", options.waiters,
            readers.size());
        rlimit files {};
        ::getrlimit(RLIMIT_NOFILE, &files);
        files.rlim_cur = files.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &files);
        long before = rss_kb(one.instance_pid(0));
        std::vector<std::string> requests;
        for (Account* reader : readers)
            requests.push_back(reader->wait_request());
        std::vector<pollfd> sockets;
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons(std::uint16_t(one.instance_port(0)));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        for (int i = 0; i < options.waiters; ++i) {
            int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            const std::string& request = requests[std::size_t(i) % requests.size()];
            if (s < 0 || ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
                || ::send(s, request.data(), request.size(), MSG_NOSIGNAL)
                    != ssize_t(request.size())) {
                std::printf("  only %d connections could be opened\n", i);
                if (s >= 0)
                    ::close(s);
                break;
            }
            ::fcntl(s, F_SETFL, O_NONBLOCK);
            sockets.push_back({ s, POLLIN, 0 });
        }
        int failures = 0;
        if (!parked({ one.instance_port(0) }, long(sockets.size()), 120)) {
            std::printf("  the calls were not all parked\n");
            ++failures;
        }
        long after = rss_kb(one.instance_pid(0));
        Clock::time_point start = Clock::now();
        // A title of its own each time: saving the same title again changes nothing.
        static int edits = 0;
        if (!writer.retitle(task, u"Everyone look " + to_wstring(++edits)))
            ++failures;
        double committed = ms_since(start);
        std::vector<std::string> replies(sockets.size());
        std::size_t open = sockets.size();
        double first = 0, last = 0;
        while (open > 0 && ms_since(start) < 60'000) {
            if (::poll(sockets.data(), sockets.size(), 1000) <= 0)
                continue;
            for (std::size_t i = 0; i < sockets.size(); ++i) {
                if (sockets[i].fd < 0 || !(sockets[i].revents & (POLLIN | POLLHUP | POLLERR)))
                    continue;
                char chunk[4096];
                ssize_t n = ::recv(sockets[i].fd, chunk, sizeof chunk, 0);
                if (n > 0)
                    replies[i].append(chunk, std::size_t(n));
                bool whole
                    = replies[i].find("//OK[") != std::string::npos && replies[i].back() == ']';
                if (n > 0 && !whole)
                    continue;
                // Woken by the change: a cursor past the one the call was sent with.
                std::size_t at = replies[i].find("//OK[");
                bool woken = whole
                    && std::atol(replies[i].c_str() + at + 5)
                        > readers[i % readers.size()]->auth.newsCursor;
                failures += !woken;
                ::close(sockets[i].fd);
                sockets[i].fd = -1;
                --open;
                last = ms_since(start);
                if (first == 0)
                    first = last;
            }
        }
        failures += int(open);
        for (pollfd& socket : sockets)
            if (socket.fd >= 0)
                ::close(socket.fd);
        std::printf("  vizserver memory %.1f MB idle, %.1f MB with the calls parked: %.2f KB per "
                    "waiting client\n",
            double(before) / 1024, double(after) / 1024,
            double(after - before) / double(std::max<std::size_t>(1, sockets.size())));
        std::printf("  the commit answered after %.1f ms; first waiter answered %.1f ms, last %.1f "
                    "ms after the change was sent (%d failed)\n",
            committed, first, last, failures);
        return failures;
    }

    // From one account's commit to another account's news holding it, the reader's waitNews
    // parked beforehand: the path of a change to an open screen, less the drawing.
    int commit_to_news(const char* name, int writer_port, int reader_port,
        const std::vector<int>& instances, const AuthInfo& writer_auth, const AuthInfo& reader_auth,
        const VizTask& task)
    {
        Account writer(writer_port, writer_auth), reader(reader_port, reader_auth);
        FilteredNews news;
        int failures = reader.news(news) ? 0 : 1;
        std::vector<double> times;
        for (int round = 0; round < 20 && failures == 0; ++round) {
            LoopbackClient wait(reader_port);
            if (!wait.send_request(reader.wait_request()) || !parked(instances, 1, 10)) {
                ++failures;
                break;
            }
            Clock::time_point start = Clock::now();
            bool seen = writer.retitle(task, u"Round " + to_wstring(round));
            auto woken = wait.read_reply();
            seen = seen && woken && woken->status == 200 && reader.news(news);
            seen = seen
                && std::any_of(news.tasks.begin(), news.tasks.end(),
                    [&](const VizTask& one) { return one.id == task.id; });
            times.push_back(ms_since(start));
            failures += !seen;
        }
        std::sort(times.begin(), times.end());
        std::printf("  %-52s p50 %7.1f ms  max %7.1f ms  (%d failed)\n", name,
            times.empty() ? 0 : times[times.size() / 2], times.empty() ? 0 : times.back(),
            failures);
        return failures;
    }

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

    // What the rows share: the two clusters on one database and the accounts made on it.
    struct LiveRun {
        const LiveLoadOptions& options;
        ServiceCluster& one;
        ServiceCluster& two;
        Account& ann;
        VizTask writes;
        VizTask reads;
    };

    // The same number of waiting clients as the first row, spread over 1,000 accounts that share a
    // project of their own (a write in a project costs more with every member, which the rows below
    // must not pay): the change concerns all of them, and each account is checked on its own.
    // Answers the failures, or -1 when the accounts could not be made.
    int member_waiter_rows(LiveRun& run)
    {
        Account& ann = run.ann;
        int direct = run.one.instance_port(0);
        FilteredNews news;
        int failures = 0;
        VizTask everyone = ann.create(0, u"Everyone");
        VizTask watched = ann.create(everyone.id, u"Watched by all");
        std::vector<std::unique_ptr<Account>> members;
        std::vector<Account*> member_list;
        for (int i = 0; i < 1000; ++i) {
            members.push_back(std::make_unique<Account>(direct));
            std::string name = "member" + std::to_string(i);
            if (!members.back()->sign_up(name)
                || !ann.call(ann.calls.changePermission(
                    ann.auth.session, everyone.id, from_utf8(name + "@live.example"), 2))) {
                std::fprintf(stderr, "vizserver-load: the members could not be made\n");
                return -1;
            }
        }
        for (auto& member : members) {
            member->news(news); // past the access each gained
            member_list.push_back(member.get());
        }
        failures += parked_waiters(run.options, run.one, ann, watched, member_list);
        Clock::time_point write_start = Clock::now();
        for (int i = 0; i < 20; ++i)
            failures += !ann.retitle(watched, u"Edit " + to_wstring(i));
        std::printf("  a change in the project of 1,000 members: %.1f ms per save\n",
            ms_since(write_start) / 20);
        members.clear();
        return failures;
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
        Tier single = processes("vizserver", { one.instance_pid(0) });
        Tier pair = processes("vizservers", { two.instance_pid(0), two.instance_pid(1) });
        Tier front1 = processes("haproxy", { one.proxy_pid() });
        Tier front2 = processes("haproxy", { two.proxy_pid() });
        for (auto [name, make] : { std::pair<const char*, std::function<std::string(int, long)>> {
                                       "getFilteredChildren, 200 tasks, uncached", read },
                 { "createTask", write } }) {
            std::printf(" %s\n", name);
            // Each setup runs twice in turn and keeps its better run, so a neighbour's load or a
            // cold cache does not decide the ratio.
            struct Setup {
                const char* name;
                int port;
                std::vector<Tier> tiers;
                Rate best;
            };
            auto with_database = [&](std::vector<Tier> tiers) {
                tiers.insert(tiers.end(), behind.begin(), behind.end());
                return tiers;
            };
            Setup setups[] = { { "one instance, direct", direct, with_database({ single }), {} },
                { "one instance behind haproxy", one.port(), with_database({ front1, single }),
                    {} },
                { "two instances behind haproxy", two.port(), with_database({ front2, pair }),
                    {} } };
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
            std::printf("  %-44s %8.2f (against one behind haproxy: %.2f)\n",
                "ratio two / one direct", both.per_second / std::max(1.0, alone.per_second),
                both.per_second / std::max(1.0, proxied.per_second));
        }
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
