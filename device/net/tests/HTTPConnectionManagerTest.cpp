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
    void use(std::shared_ptr<ConnectionScript> script)
    {
        HTTPRequestImpl::set_connection_manager_loader(
            [script] { return std::make_unique<ScriptedConnectionManager>(script); });
    }
    void TearDown() override
    {
        HttpFixture::TearDown();
        HTTPRequestImpl::set_connection_manager_loader(nullptr);
    }

    static std::size_t count(const std::u16string& text, const std::u16string& part)
    {
        std::size_t found = 0;
        for (std::size_t at = text.find(part); at != std::u16string::npos;
             at = text.find(part, at + 1))
            ++found;
        return found;
    }
};

} // namespace

// The request waits for the data connection, then goes out; the connection is let go with a
// cache time of 10 seconds when the request is deleted.
TEST_F(HTTPConnectionTest, sends_once_the_connection_is_up)
{
    auto script = std::make_shared<ConnectionScript>();
    script->statuses = { ConnectionManager::Status::Connecting,
        ConnectionManager::Status::Connecting, ConnectionManager::Status::Connected };
    use(script);
    env.enable_log();
    RawSocketServer server(http_reply(200, "up"), RawSocketServer::After::Close);
    ASSERT_TRUE(send_to(server.wide_url("/service")));
    ASSERT_TRUE(run_until_ended());
    EXPECT_EQ(listener.events.back(), "complete 2");
    EXPECT_EQ(script->polls.load(), 3);
    EXPECT_EQ(script->released_with.load(), 10);
    std::u16string log = read_log();
    EXPECT_EQ(count(log, u" iteration1\n"), 3u);
    EXPECT_NE(log.find(u"ConnMgrEstablishConnection found\n"), std::u16string::npos);
}

// A connection that drops while coming up, or a connection request that is refused, fails the
// request before anything is sent and says why in the log.
TEST_F(HTTPConnectionTest, failed_connections_fail_before_sending)
{
    using Status = ConnectionManager::Status;
    struct Case {
        bool establish_ok;
        std::vector<Status> statuses;
        const char16_t* reason;
    };
    for (const Case& c : { Case { true, { Status::Connecting, Status::Disconnected },
                               u"status == CONNMGR_STATUS_DISCONNECTED at " },
             Case { false, { Status::Connected }, u"ConnMgrEstablishConnection failed\n" } }) {
        SCOPED_TRACE(narrow(c.reason));
        listener = RecordingListener();
        auto script = std::make_shared<ConnectionScript>();
        script->establish_ok = c.establish_ok;
        script->statuses = c.statuses;
        use(script);
        env.enable_log();
        RawSocketServer server(http_reply(200, ""), RawSocketServer::After::Close);
        ASSERT_TRUE(send_to(server.wide_url("/service")));
        ASSERT_TRUE(run_until_ended());
        EXPECT_EQ(listener.events, failed_at_once);
        EXPECT_TRUE(server.received().empty());
        EXPECT_NE(read_log().find(c.reason), std::u16string::npos);
        if (!c.establish_ok) {
            EXPECT_EQ(script->polls.load(), 0); // nothing to poll after a refusal
        }
    }
}

// A connection that never comes up is bounded by the watchdog; the polling worker notices the
// kill and leaves.
TEST_F(HTTPConnectionTest, connection_that_never_comes_up_trips_the_watchdog)
{
    auto script = std::make_shared<ConnectionScript>();
    script->statuses = { ConnectionManager::Status::Connecting };
    use(script);
    HTTPRequest::set_watchdog_period(0.3);
    RawSocketServer server(http_reply(200, ""), RawSocketServer::After::Close);
    ASSERT_TRUE(send_to(server.wide_url("/service")));
    ASSERT_TRUE(run_until_ended());
    EXPECT_EQ(listener.events, failed_at_once);
    EXPECT_TRUE(HTTPRequest::wait_for_workers(5000));
    EXPECT_EQ(script->released_with.load(), -1); // never connected, nothing to release
}
