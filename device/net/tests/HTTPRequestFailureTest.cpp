#include "device/net/tests/NetTestSupport.h"
#include "device/net/tests/RawSocketServer.h"

#include <gtest/gtest.h>

using namespace corvane;
using namespace corvane::test;
using ::testing::ElementsAre;

namespace {

using HTTPFailureTest = HttpFixture;

const char* const complete_reply = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
const char* const stalled_reply = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n0123456789";

} // namespace

// What cannot be requested fails inside send_request, which answers false: a URL that cannot be
// requested, or a header line that cannot be sent (the listener may delete the request on the
// way without harm). Nobody listening, or a framing header the transport cannot use, fails after
// send_request returned, with the same key, rather than being read to an unknown end.
// A request is sent once; sending it again, or after a kill, fails like an unusable request.
TEST_F(HTTPFailureTest, unusable_requests_and_replies_fail_at_once)
{
    using After = RawSocketServer::After;
    struct Case {
        const char16_t* url; // null: the server's
        const char16_t* header;
        const char* reply;
        After after;
    };
    const char* unusable_length
        = "HTTP/1.1 200 OK\r\nContent-Length: abc\r\nConnection: close\r\n\r\nhello";
    const Case cases[] = {
        { u"not a url", nullptr, complete_reply, After::Close },
        { u"ftp://127.0.0.1/service", nullptr, complete_reply, After::Close },
        { u"http://", nullptr, complete_reply, After::Close },
        { u"", nullptr, complete_reply, After::Close },
        { nullptr, u"no colon", complete_reply, After::Close },
        { nullptr, u": no name", complete_reply, After::Close },
        { nullptr, u"Two\r\nLines: x", complete_reply, After::Close },
        { nullptr, nullptr, "", After::NeverListen },
        { nullptr, nullptr, unusable_length, After::Close },
    };
    for (const Case& c : cases) {
        RawSocketServer server(c.reply, c.after);
        std::u16string url = c.url ? c.url : server.wide_url("/service");
        SCOPED_TRACE(to_utf8(c.header ? c.header : url));
        listener = RecordingListener();
        HTTPRequest& request = make_request(url);
        bool usable = !c.url && !c.header;
        if (c.header) {
            EXPECT_FALSE(request.add_header(c.header));
        }
        EXPECT_EQ(send("x"), usable);
        if (usable) {
            ASSERT_TRUE(run_until_ended());
        }
        EXPECT_EQ(listener.events, failed_at_once);
        EXPECT_EQ(listener.request, nullptr);
    }

    listener = RecordingListener();
    RawSocketServer server(complete_reply, RawSocketServer::After::Close);
    auto killed = std::make_unique<HTTPRequest>(
        server.wide_url("/service"), u"POST", listener, u"Corvane Client");
    killed->kill_request();
    EXPECT_THAT(listener.events, ElementsAre("status 1.0000 ServerSendFailed", "failed"));
    listener.events.clear();
    EXPECT_FALSE(killed->send_request(SharedBuffer("x", 1)));
    EXPECT_EQ(listener.events, failed_at_once);
    killed.reset();

    listener = RecordingListener();
    std::unique_ptr<HTTPRequest> kept = send_kept(server.wide_url("/service"));
    ASSERT_TRUE(run_until_ended());
    EXPECT_EQ(listener.events.back(), "complete 2");
    // The first exchange is over and the request was kept: sending it again fails.
    listener.events.clear();
    EXPECT_FALSE(kept->send_request(SharedBuffer("x", 1)));
    EXPECT_EQ(listener.events, failed_at_once);
}

// A server that takes the request and never answers, or a reply that stalls half-way (the
// watchdog is re-armed after every chunk): the watchdog ends the exchange after the data that
// did come.
TEST_F(HTTPFailureTest, silent_or_stalled_server_trips_the_watchdog)
{
    HTTPRequest::set_watchdog_period(0.3);
    env.enable_log();
    RawSocketServer silent("", RawSocketServer::After::StaySilent);
    ASSERT_TRUE(send_to(silent.wide_url("/service")));
    ASSERT_TRUE(run_until_ended());
    EXPECT_EQ(listener.events, failed_at_once);
    EXPECT_EQ(listener.request, nullptr);
    EXPECT_TRUE(HTTPRequest::wait_for_workers(5000));
    std::u16string log = read_log();
    std::size_t fired = log.find(u"timeout_timer fired at ");
    EXPECT_NE(fired, std::u16string::npos);
    EXPECT_NE(log.find(u"timeout_timer finished at ", fired), std::u16string::npos);

    listener = RecordingListener();
    RawSocketServer stalled(stalled_reply, RawSocketServer::After::StaySilent);
    ASSERT_TRUE(send_to(stalled.wide_url("/service")));
    ASSERT_TRUE(run_until_ended());
    EXPECT_THAT(listener.events,
        ElementsAre("status 0.0000 ServerBusy", "length 100", "data 0", "status 0.0000 ServerBusy",
            "data 10", "status 0.1000 ServerBusy", "status 1.0000 ServerSendFailed", "failed"));
}

// A second kill, and anything the stopped worker might still do, must not reach the listener.
// A kill while the worker's message waits in the ready list drops the message rather than
// delivering it after the failure; deleting the request then, before or after the loop ran, takes
// it out of the list exactly once (queued twice, it left a dangling entry).
TEST_F(HTTPFailureTest, kills_report_once)
{
    RawSocketServer server("", RawSocketServer::After::StaySilent);
    std::unique_ptr<HTTPRequest> request = send_kept(server.wide_url("/service"));
    ASSERT_TRUE(server.wait_for_requests(1, 5000));
    request->kill_request();
    EXPECT_EQ(listener.events, failed_at_once);
    request->kill_request();
    loop.run_for(scheduler, std::chrono::milliseconds(300));
    EXPECT_EQ(listener.events, failed_at_once);
    EXPECT_TRUE(HTTPRequest::wait_for_workers(5000)); // the kill unblocked the worker
    request.reset();
    EXPECT_EQ(scheduler.active_count(), 0);

    for (bool delete_first : { false, true }) {
        SCOPED_TRACE(delete_first);
        listener = RecordingListener();
        RawSocketServer server(complete_reply, RawSocketServer::After::StaySilent);
        std::unique_ptr<HTTPRequest> request = send_kept(server.wide_url("/service"));
        ASSERT_TRUE(loop.wait_for_run_message());
        request->kill_request();
        if (delete_first) {
            request.reset();
            EXPECT_EQ(scheduler.active_count(), 0);
        }
        loop.run_for(scheduler, std::chrono::milliseconds(200));
        EXPECT_EQ(listener.events, failed_at_once);
        request.reset();
        EXPECT_EQ(scheduler.active_count(), 0);
    }
}

// Deleting a request in the middle of a reply stops its worker promptly and quietly; deleting
// one whose reply was refused (non-2xx) releases the worker left waiting.
TEST_F(HTTPFailureTest, deleting_a_request_releases_its_worker)
{
    RawSocketServer server(stalled_reply, RawSocketServer::After::StaySilent);
    ASSERT_TRUE(send_to(server.wide_url("/service")));
    ASSERT_TRUE(loop.run_until(scheduler, [&] { return listener.chunk_sizes.size() == 2; }));
    listener.request.reset(); // blocks until the worker is gone
    EXPECT_TRUE(HTTPRequest::wait_for_workers(0));
    loop.run_for(scheduler, std::chrono::milliseconds(100));
    EXPECT_EQ(listener.events.back(), "status 0.1000 ServerBusy");
    EXPECT_EQ(listener.ends, 0);

    listener = RecordingListener();
    RawSocketServer refused(
        "HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\n\r\n", RawSocketServer::After::StaySilent);
    std::unique_ptr<HTTPRequest> kept = send_kept(refused.wide_url("/service"));
    ASSERT_TRUE(run_until_ended());
    EXPECT_FALSE(HTTPRequest::wait_for_workers(100)); // still waiting to be resumed
    kept->kill_request(); // over already: nothing more
    EXPECT_THAT(listener.events,
        ElementsAre("status 0.0000 ServerBusy", "length 0", "status 1.0000 ServerBusy", "failed"));
    kept.reset();
    EXPECT_TRUE(HTTPRequest::wait_for_workers(5000));
}

// At shutdown the program kills its request and exits at once; the killed worker, still on its
// way out of the network code, must not bring the exit down.
TEST_F(HTTPFailureTest, exiting_right_after_a_kill_is_clean)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            RawSocketServer server("", RawSocketServer::After::StaySilent);
            std::unique_ptr<HTTPRequest> request = send_kept(server.wide_url("/service"));
            (void)server.wait_for_requests(1, 5000);
            request->kill_request();
            request.reset();
            std::fprintf(stderr, "leaving\n");
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "leaving");
}
