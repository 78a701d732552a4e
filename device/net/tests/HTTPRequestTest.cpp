#include "device/net/tests/NetTestSupport.h"
#include "device/net/tests/TestCertificate.h"
#include "device/net/tests/TestHttpServer.h"

#include <gtest/gtest.h>

using namespace corvane;
using namespace corvane::test;
using ::testing::ElementsAre;

namespace {

std::string pattern(std::size_t size)
{
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        text[i] = static_cast<char>('a' + (i * 7 + i / 26) % 26);
    return text;
}

ServerReply reply(unsigned status, std::string body)
{
    ServerReply result;
    result.status = status;
    result.body = std::move(body);
    return result;
}

using HTTPExchangeTest = HttpFixture;

} // namespace

// The service's way of calling: POST to ".../service" with three headers and the user agent;
// the server must receive exactly that, and the listener every step in order.
TEST_F(HTTPExchangeTest, posts_the_body_and_reports_each_step)
{
    TestHttpServer server([](const ReceivedRequest&) { return reply(200, "abc"); });
    ASSERT_TRUE(server.is_running());
    HTTPRequest& request = make_request(server.wide_url("/viz/service"));
    request.add_header(u"Accept: */*");
    request.add_header(u"Content-Type: text/x-gwt-rpc; charset=utf-8");
    request.add_header(u"Pragma: no-cache");
    ASSERT_TRUE(send("5|0|4|http://x/|ABC|"));
    ASSERT_TRUE(run_until_ended());

    EXPECT_THAT(listener.events,
        ElementsAre("status 0.0000 ServerBusy", "length 3", "data 0", "status 0.0000 ServerBusy",
            "data 3", "status 1.0000 ServerBusy", "status 1.0000 ServerSuccess", "complete 3"));
    EXPECT_EQ(listener.body, "abc");
    EXPECT_EQ(listener.request, nullptr);
    std::vector<ReceivedRequest> received = server.received();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].method, "POST");
    EXPECT_EQ(received[0].path, "/viz/service");
    EXPECT_EQ(received[0].body, "5|0|4|http://x/|ABC|");
    EXPECT_EQ(received[0].headers["Content-Type"], "text/x-gwt-rpc; charset=utf-8");
    EXPECT_EQ(received[0].headers["Accept"], "*/*");
    EXPECT_EQ(received[0].headers["Pragma"], "no-cache");
    EXPECT_EQ(received[0].headers["User-Agent"], "Corvane Client");
    EXPECT_EQ(received[0].headers.count("Expect"), 0u);
}

// A body larger than one chunk is handed over 8192 bytes at a time, each chunk before the
// next is read, and the whole body arrives intact and in order.
TEST_F(HTTPExchangeTest, large_body_arrives_in_chunks_of_at_most_8192_bytes)
{
    std::string body = pattern(20000);
    TestHttpServer server([&](const ReceivedRequest&) { return reply(200, body); });
    make_request(server.wide_url("/big"));
    ASSERT_TRUE(send("x"));
    ASSERT_TRUE(run_until_ended());

    EXPECT_THAT(listener.chunk_sizes, ElementsAre(0u, 8192u, 8192u, 3616u));
    EXPECT_THAT(listener.events,
        ElementsAre("status 0.0000 ServerBusy", "length 20000", "data 0",
            "status 0.0000 ServerBusy", "data 8192", "status 0.4096 ServerBusy", "data 8192",
            "status 0.8192 ServerBusy", "data 3616", "status 1.0000 ServerBusy",
            "status 1.0000 ServerSuccess", "complete 20000"));
    EXPECT_EQ(listener.body, body);
}

// Without a content length there is nothing to measure progress against, so the listener
// hears only the start and the end, however many chunks come.
TEST_F(HTTPExchangeTest, chunked_reply_reports_progress_only_at_the_ends)
{
    std::string body = pattern(30000);
    TestHttpServer server([&](const ReceivedRequest&) {
        ServerReply result = reply(200, body);
        result.framing = ServerReply::Framing::Chunked;
        result.piece = 3000;
        return result;
    });
    make_request(server.wide_url("/chunked"));
    ASSERT_TRUE(send("x"));
    ASSERT_TRUE(run_until_ended());

    std::vector<std::string> statuses;
    for (const std::string& event : listener.events) {
        if (event.starts_with("status"))
            statuses.push_back(event);
        EXPECT_FALSE(event.starts_with("length"));
    }
    EXPECT_THAT(statuses, ElementsAre("status 0.0000 ServerBusy", "status 1.0000 ServerSuccess"));
    EXPECT_EQ(listener.body, body);
    for (std::uint32_t size : listener.chunk_sizes)
        EXPECT_LE(size, 8192u);
    EXPECT_EQ(listener.events.back(), "complete 30000");
}

// 2xx replies succeed, an empty request and reply body included; any other status fails with
// the key that was current, "ServerBusy", and hands over no data.
TEST_F(HTTPExchangeTest, the_status_decides_success)
{
    for (unsigned status : { 200u, 201u, 204u, 404u, 500u, 302u }) {
        SCOPED_TRACE(status);
        listener = RecordingListener();
        bool success = status < 300;
        TestHttpServer server(
            [&](const ReceivedRequest&) { return reply(status, success ? "" : "nope"); });
        make_request(server.wide_url("/status"));
        ASSERT_TRUE(send(status == 200 ? "" : "x"));
        ASSERT_TRUE(run_until_ended());
        if (status == 200) {
            EXPECT_THAT(listener.events,
                ElementsAre("status 0.0000 ServerBusy", "length 0", "data 0",
                    "status 1.0000 ServerSuccess", "complete 0"));
        } else if (success) {
            EXPECT_EQ(listener.events.back(), "complete 0");
        } else {
            EXPECT_THAT(listener.events,
                ElementsAre(
                    "status 0.0000 ServerBusy", "length 4", "status 1.0000 ServerBusy", "failed"));
        }
    }
}

// A range reply: the listener chooses whether progress runs over the range or the whole file.
TEST_F(HTTPExchangeTest, content_range_sets_the_expected_length)
{
    std::string part = pattern(100);
    auto range_server = [&](const ReceivedRequest&) {
        ServerReply result = reply(206, part);
        result.headers = { { "Content-Range", "bytes 100-199/1000" } };
        return result;
    };
    TestHttpServer server(range_server);

    listener.range_answer = true;
    make_request(server.wide_url("/range"));
    ASSERT_TRUE(send("x"));
    ASSERT_TRUE(run_until_ended());
    EXPECT_THAT(listener.events, ::testing::Contains("range 100-199/1000"));
    EXPECT_THAT(listener.events, ::testing::Contains("status 1.0000 ServerBusy")); // 100 of 100

    listener = RecordingListener();
    listener.range_answer = false;
    make_request(server.wide_url("/range"));
    ASSERT_TRUE(send("x"));
    ASSERT_TRUE(run_until_ended());
    // Counting starts at the range's first byte and runs to the full length.
    EXPECT_THAT(listener.events, ::testing::Contains("status 0.2000 ServerBusy"));
    EXPECT_EQ(listener.body, part);
}

// Chunks the listener takes itself are not kept for on_complete.
TEST_F(HTTPExchangeTest, consumed_chunks_are_left_out_of_the_body)
{
    TestHttpServer server([](const ReceivedRequest&) { return reply(200, "streamed"); });
    listener.consume_data = true;
    make_request(server.wide_url("/stream"));
    ASSERT_TRUE(send("x"));
    ASSERT_TRUE(run_until_ended());
    EXPECT_THAT(listener.chunk_sizes, ElementsAre(0u, 8u));
    EXPECT_EQ(listener.events.back(), "complete 0");
}

// Other headers reach on_http_header with lower-case names.
TEST_F(HTTPExchangeTest, other_headers_reach_the_listener_in_lower_case)
{
    TestHttpServer server([](const ReceivedRequest&) {
        ServerReply result = reply(200, "ok");
        result.headers = { { "X-Session-State", "Fresh" } };
        return result;
    });
    make_request(server.wide_url("/h"));
    ASSERT_TRUE(send("x"));
    ASSERT_TRUE(run_until_ended());
    EXPECT_THAT(listener.headers,
        ::testing::Contains(std::pair<std::string, std::string>("x-session-state", "Fresh")));
    EXPECT_FALSE(listener.has_header("content-length"));
}

// A server that drops the connection in the middle of the body fails the exchange after the
// chunks that did arrive.
TEST_F(HTTPExchangeTest, connection_closed_mid_body_fails)
{
    TestHttpServer server([](const ReceivedRequest&) {
        ServerReply result = reply(200, pattern(20000));
        result.framing = ServerReply::Framing::CloseEarly;
        result.piece = 5000;
        return result;
    });
    env.enable_log();
    make_request(server.wide_url("/cut"));
    ASSERT_TRUE(send("x"));
    ASSERT_TRUE(run_until_ended());
    ASSERT_GE(listener.events.size(), 3u);
    EXPECT_EQ(listener.events[listener.events.size() - 2], "status 1.0000 ServerSendFailed");
    EXPECT_EQ(listener.events.back(), "failed");
    std::uint32_t received = 0;
    for (std::uint32_t size : listener.chunk_sizes)
        received += size;
    EXPECT_EQ(received, 5000u);
    EXPECT_NE(read_log().find(u" Failed 2 at "), std::u16string::npos);
}

// The log tells the story of an exchange in the words support staff know.
TEST_F(HTTPExchangeTest, logs_each_stage)
{
    env.enable_log();
    TestHttpServer server([](const ReceivedRequest&) { return reply(200, "abc"); });
    make_request(server.wide_url("/log"));
    ASSERT_TRUE(send("x"));
    ASSERT_TRUE(run_until_ended());
    std::u16string log = read_log();
    std::size_t position = 0;
    for (const char16_t* line : { u"Request constructed at ", u"HTTPRequest::send_request 1\n",
             u"HTTPRequest::send_request 2\n", u"HTTPRequest::send_request 3\n",
             u"HTTPRequest::send_request 4\n", u"Request sent at ", u"Examining cellcore.dll\n",
             u"message=1\n", u"HTTP Header content-length: 3\n", u"message=0\n",
             u" data {3}available at ", u" Success at ", u"message=3\n", u"~HTTPRequestImpl() id=",
             u" before Cancel at ", u" after Cancel at ",
             u"~HTTPRequestImpl() request_termination at ",
             u"~HTTPRequestImpl() wait_termination at ",
             u"~HTTPRequestImpl() after wait_termination at ", u"Wait id=",
             u"~HTTPRequestImpl() finish at " }) {
        std::size_t found = log.find(line, position);
        EXPECT_NE(found, std::u16string::npos) << narrow(line);
        if (found != std::u16string::npos)
            position = found;
    }
    EXPECT_NE(log.find(u"HTTPRequestImpl::RunL before data cycle\n"), std::u16string::npos);
    EXPECT_NE(log.find(u"HTTPRequestImpl::run() id="), std::u16string::npos);
}

// Certificates are checked: a server whose certificate nobody vouches for is refused unless
// the relaxing setting is on.
TEST_F(HTTPExchangeTest, https_checks_certificates_unless_relaxed)
{
    TestHttpServer server([](const ReceivedRequest&) { return reply(200, "secret"); },
        test_certificate_pem, test_key_pem);
    ASSERT_TRUE(server.is_running());

    make_request(server.wide_url("/tls"));
    ASSERT_TRUE(send("x"));
    ASSERT_TRUE(run_until_ended());
    EXPECT_THAT(listener.events,
        ElementsAre("status 0.0000 ServerBusy", "status 1.0000 ServerSendFailed", "failed"));
    EXPECT_TRUE(server.received().empty());

    ASSERT_TRUE(reg_write_dword(u"HKEY_CURRENT_USER\\Software\\Ulmar\\Corvane", u"InsecureTLS", 1));
    listener = RecordingListener();
    make_request(server.wide_url("/tls"));
    ASSERT_TRUE(send("x"));
    ASSERT_TRUE(run_until_ended());
    EXPECT_EQ(listener.events.back(), "complete 6");
    EXPECT_EQ(listener.body, "secret");
}
