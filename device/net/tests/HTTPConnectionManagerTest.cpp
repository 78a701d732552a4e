#include "device/net/HTTPRequestImpl.h"
#include "device/net/tests/NetTestSupport.h"
#include "device/net/tests/RawSocketServer.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace corvane;
using namespace corvane::test;

namespace {

// What a platform connection manager would answer, step by step. Linux has none, so these
// tests stand in for the device's to exercise the worker's connection phase.
struct ConnectionScript {
    bool establish_ok { true };
    std::vector<ConnectionManager::Status> statuses;
    std::atomic<int> polls { 0 };
    std::atomic<int> released_with { -1 };
};

class ScriptedConnectionManager final : public ConnectionManager {
public:
    explicit ScriptedConnectionManager(std::shared_ptr<ConnectionScript> script)
        : m_script(std::move(script))
    {
    }
    bool establish_connection() override { return m_script->establish_ok; }
    Status connection_status() override
    {
        std::size_t poll = static_cast<std::size_t>(m_script->polls++);
        return m_script->statuses[std::min(poll, m_script->statuses.size() - 1)];
    }
    bool release_connection(int cache_seconds) override
    {
        m_script->released_with = cache_seconds;
        return true;
    }

private:
    std::shared_ptr<ConnectionScript> m_script;
};

class HTTPConnectionTest : public HttpFixture {
protected:
    void TearDown() override
    {
        HttpFixture::TearDown();
        HTTPRequestImpl::set_connection_manager_loader(nullptr);
    }
};

} // namespace

// The request goes out only once the data connection is up, and lets it go with a cache time of
// 10 seconds when deleted. A connection that drops while coming up, or is refused, fails the
// request before anything is sent; one that never comes up is bounded by the watchdog, and the
// polling worker notices the kill and leaves.
TEST_F(HTTPConnectionTest, the_request_waits_for_the_connection)
{
    using Status = ConnectionManager::Status;
    struct Case {
        bool establish_ok;
        std::vector<Status> statuses;
        int polls; // -1: as many as the watchdog allows
        int released_with;
    };
    const Case cases[] = {
        { true, { Status::Connecting, Status::Connecting, Status::Connected }, 3, 10 },
        { true, { Status::Connecting, Status::Disconnected }, 2, -1 },
        { false, { Status::Connected }, 0, -1 },
        { true, { Status::Connecting }, -1, -1 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.polls);
        listener = RecordingListener();
        auto script = std::make_shared<ConnectionScript>();
        script->establish_ok = c.establish_ok;
        script->statuses = c.statuses;
        HTTPRequestImpl::set_connection_manager_loader(
            [script] { return std::make_unique<ScriptedConnectionManager>(script); });
        HTTPRequest::set_watchdog_period(c.polls < 0 ? 0.3 : 10.0);
        RawSocketServer server(http_reply(200, "up"), RawSocketServer::After::Close);
        ASSERT_TRUE(send_to(server.wide_url("/service")));
        ASSERT_TRUE(run_until_ended());
        EXPECT_TRUE(HTTPRequest::wait_for_workers(5000));
        if (c.released_with > 0) {
            EXPECT_EQ(listener.events.back(), "complete 2");
        } else {
            EXPECT_EQ(listener.events, failed_at_once);
            EXPECT_TRUE(server.received().empty());
        }
        if (c.polls >= 0) {
            EXPECT_EQ(script->polls.load(), c.polls);
        }
        EXPECT_EQ(script->released_with.load(), c.released_with);
    }
}
