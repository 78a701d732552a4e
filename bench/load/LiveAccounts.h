#pragma once

// The clients of the live rows: an account's calls over one kept-alive connection, and a reader
// that follows the news through the balancer while others write.
#include "server/testing/LoopbackClient.h"

#include "common/base/Text.h"
#include "common/records/AuthInfo.h"
#include "common/records/FilteredNews.h"
#include "common/records/VizTask.h"
#include "common/records/WireValues.h"
#include "device/rpc/ReplyReader.h"
#include "device/rpc/ServiceCalls.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace corvane::load {

using server::testing::LoopbackClient;
using Clock = std::chrono::steady_clock;

inline double ms_since(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

inline std::string body_of(const std::optional<RemoteCall>& call)
{
    return call ? std::string(reinterpret_cast<const char*>(call->body.data()), call->body.size())
                : std::string();
}

// One account's calls over one kept-alive connection.
struct Account {
    explicit Account(int port, AuthInfo auth = {})
        : http(port)
        , auth(std::move(auth))
    {
    }
    bool call(const std::optional<RemoteCall>& remote)
    {
        auto response = http.post("/service", body_of(remote));
        return response && response->status == 200 && reader.parse(std::string_view(response->body))
            && !reader.is_exception();
    }
    bool sign_up(const std::string& name)
    {
        if (!call(calls.registerUser(
                from_utf8(name + "@live.example"), u"live-password", from_utf8(name))))
            return false;
        WString key(reader.load_string());
        return call(calls.authenticate(key)) && auth.load(reader);
    }
    // A new session, whose news cursor is the present.
    bool log_in(const std::string& name)
    {
        if (!call(calls.authenticate(from_utf8(name + "@live.example"), u"live-password")))
            return false;
        WString key(reader.load_string());
        return call(calls.authenticate(key)) && auth.load(reader);
    }
    VizTask create(int parent, WStringView title)
    {
        VizTask task;
        task.id = -1;
        task.parentId = parent;
        task.title = WString(title);
        task.responsibleId = auth.userId;
        VizTask made;
        if (!call(calls.createTask(auth.session, task, u"")) || !made.load(reader))
            made.id = -1;
        return made;
    }
    bool retitle(VizTask task, WStringView title)
    {
        task.done = 0;
        task.plan = 0;
        task.title = WString(title);
        return call(calls.updateTask(auth.session, task, u""));
    }
    bool news(FilteredNews& out)
    {
        out = {};
        if (!call(calls.getFilteredNews(auth.session, Filter {}, auth.newsCursor, auth.newsStamp))
            || !out.load(reader))
            return false;
        auth.newsCursor = out.cursor;
        auth.newsStamp = out.stamp;
        return true;
    }
    std::string wait_request()
    {
        return LoopbackClient::call_request(body_of(calls.waitNews(auth.session, auth.newsCursor)));
    }

    ServiceCalls calls { ServiceIdentity { u"http://127.0.0.1/" } };
    LoopbackClient http;
    ReplyReader reader;
    AuthInfo auth;
};

// A reader behind the balancer that waits for news and takes it while a load of creations
// runs: every task made in `folders` meanwhile must reach it exactly once.
class NewsCheck {
public:
    NewsCheck(int port, const std::string& account, std::vector<int> folders)
        : m_reader(port)
        , m_port(port)
        , m_folders(folders.begin(), folders.end())
    {
        m_failed = !m_reader.log_in(account);
        m_thread = std::thread([this] { run(); });
    }

    // `last_write` makes one more task, which also ends the reader's last wait; then the
    // service's lists of the folders are compared with what the news brought.
    int finish(Account& writer, const std::function<bool()>& last_write)
    {
        m_stop = true;
        bool written = last_write();
        m_thread.join();
        FilteredNews news;
        while (m_reader.news(news) && take(news) > 0) { }
        std::vector<VizTask> listed;
        for (int folder : m_folders) {
            std::vector<VizTask> children;
            if (!written
                || !writer.call(
                    writer.calls.getFilteredChildren(writer.auth.session, Filter {}, folder))
                || !load_vector(writer.reader, children)) {
                std::printf("  the news check could not read the folders back\n");
                return 1;
            }
            listed.insert(listed.end(), children.begin(), children.end());
        }
        long missing = 0, doubled = 0, unknown = 0;
        for (const VizTask& task : listed) {
            auto found = m_delivered.find(task.id);
            missing += found == m_delivered.end();
            doubled += found != m_delivered.end() && found->second > 1;
        }
        std::set<int> ids;
        for (const VizTask& task : listed)
            ids.insert(task.id);
        for (const auto& [id, count] : m_delivered)
            unknown += !ids.contains(id);
        std::printf("  news through haproxy while two instances took the load: %zu tasks made, "
                    "%ld missing, %ld twice, %ld unknown%s\n",
            listed.size(), missing, doubled, unknown,
            m_failed ? " (the reader's calls failed)" : "");
        return int(missing + doubled + unknown + (m_failed ? 1 : 0));
    }

private:
    void run()
    {
        FilteredNews news;
        while (!m_stop) {
            LoopbackClient wait(m_port);
            auto woken = wait.exchange(m_reader.wait_request());
            if (!woken || woken->status != 200 || !m_reader.news(news)) {
                m_failed = true;
                return;
            }
            take(news);
        }
    }
    std::size_t take(const FilteredNews& news)
    {
        for (const VizTask& task : news.tasks)
            if (m_folders.contains(task.parentId))
                ++m_delivered[task.id];
        return news.tasks.size();
    }

    Account m_reader;
    int m_port;
    std::set<int> m_folders;
    std::map<int, int> m_delivered;
    std::atomic<bool> m_stop { false };
    std::atomic<bool> m_failed { false };
    std::thread m_thread;
};

} // namespace corvane::load
