#include "bench/load/LiveWaiters.h"
#include "bench/load/ProcessProbes.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <thread>

namespace corvane::load {

using server::testing::ServiceCluster;

namespace {

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

    // `count` connections to the instance, each with one of `requests` sent; stops at the first
    // that cannot be opened.
    std::vector<pollfd> open_waiting_calls(
        int port, int count, const std::vector<std::string>& requests)
    {
        std::vector<pollfd> sockets;
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons(std::uint16_t(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        for (int i = 0; i < count; ++i) {
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
        return sockets;
    }

    struct Wakeup {
        double first { 0 }; // ms after the change was sent
        double last { 0 };
        int failures { 0 };
    };

    // Reads every parked call's reply, for a minute at most, and closes all the sockets. A call
    // fails when it ends without a cursor past the one its reader sent (`readers` in turn).
    Wakeup await_replies(
        std::vector<pollfd>& sockets, const std::vector<Account*>& readers, Clock::time_point start)
    {
        Wakeup wakeup;
        std::vector<std::string> replies(sockets.size());
        std::size_t open = sockets.size();
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
                wakeup.failures += !woken;
                ::close(sockets[i].fd);
                sockets[i].fd = -1;
                --open;
                wakeup.last = ms_since(start);
                if (wakeup.first == 0)
                    wakeup.first = wakeup.last;
            }
        }
        wakeup.failures += int(open);
        for (pollfd& socket : sockets)
            if (socket.fd >= 0)
                ::close(socket.fd);
        return wakeup;
    }

} // namespace

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
    std::vector<pollfd> sockets
        = open_waiting_calls(one.instance_port(0), options.waiters, requests);
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
    Wakeup wakeup = await_replies(sockets, readers, start);
    failures += wakeup.failures;
    std::printf("  vizserver memory %.1f MB idle, %.1f MB with the calls parked: %.2f KB per "
                "waiting client\n",
        double(before) / 1024, double(after) / 1024,
        double(after - before) / double(std::max<std::size_t>(1, sockets.size())));
    std::printf("  the commit answered after %.1f ms; first waiter answered %.1f ms, last %.1f "
                "ms after the change was sent (%d failed)\n",
        committed, wakeup.first, wakeup.last, failures);
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
        seen = seen && std::any_of(news.tasks.begin(), news.tasks.end(), [&](const VizTask& one) {
            return one.id == task.id;
        });
        times.push_back(ms_since(start));
        failures += !seen;
    }
    std::sort(times.begin(), times.end());
    std::printf("  %-52s p50 %7.1f ms  max %7.1f ms  (%d failed)\n", name,
        times.empty() ? 0 : times[times.size() / 2], times.empty() ? 0 : times.back(), failures);
    return failures;
}

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

} // namespace corvane::load
