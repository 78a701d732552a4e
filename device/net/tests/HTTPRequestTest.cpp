#include "device/net/tests/NetTestSupport.h"
#include "device/net/tests/RawSocketServer.h"

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

// The body in chunked transfer encoding, `piece` bytes a chunk.
std::string chunked(const std::string& body, std::size_t piece)
{
    std::string out;
    char size[16];
    for (std::size_t at = 0; at < body.size(); at += piece) {
        std::string part = body.substr(at, piece);
        std::snprintf(size, sizeof size, "%zx\r\n", part.size());
        out += size + part + "\r\n";
    }
    return out + "0\r\n\r\n";
}

class HTTPExchangeTest : public HttpFixture {
protected:
    // One POST of "x" to a server that answers `reply`, run to its end.
    void exchange(const std::string& reply)
    {
        RawSocketServer server(reply, RawSocketServer::After::Close);
        ASSERT_TRUE(send_to(server.wide_url("/service")));
        ASSERT_TRUE(run_until_ended());
    }
};

} // namespace

// The service's way of calling: POST to ".../service" with three headers and the user agent;
// the server must receive exactly that, and the listener every step in order.
// 2xx replies succeed, an empty request and reply body included; any other status fails with the
// key that was current, "ServerBusy", and hands over no data. The status line needs a reason phrase
// to count as a success.
TEST_F(HTTPExchangeTest, posts_the_body_and_reports_each_step)
{
    RawSocketServer server(http_reply(200, "abc"), RawSocketServer::After::Close);
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
    std::vector<std::string> received = server.received();
    ASSERT_EQ(received.size(), 1u);
    const std::string& sent = received[0];
    EXPECT_TRUE(sent.starts_with("POST /viz/service HTTP/1.1\r\n")) << sent;
    EXPECT_TRUE(sent.ends_with("\r\n\r\n5|0|4|http://x/|ABC|")) << sent;
    for (const char* line :
        { "\r\nContent-Type: text/x-gwt-rpc; charset=utf-8\r\n", "\r\nAccept: */*\r\n",
            "\r\nPragma: no-cache\r\n", "\r\nUser-Agent: Corvane Client\r\n" })
        EXPECT_NE(sent.find(line), std::string::npos) << line;
    EXPECT_EQ(sent.find("Expect:"), std::string::npos);

    for (unsigned status : { 200u, 201u, 204u, 404u, 500u, 302u }) {
        SCOPED_TRACE(status);
        listener = RecordingListener();
        bool success = status < 300;
        RawSocketServer server(
            http_reply(status, success ? "" : "nope"), RawSocketServer::After::Close);
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
    listener = RecordingListener();
    exchange("HTTP/1.1 200\r\nContent-Length: 2\r\n\r\nok");
    EXPECT_THAT(listener.events,
        ElementsAre("status 0.0000 ServerBusy", "length 2", "status 1.0000 ServerBusy", "failed"));
}

// A body larger than one chunk is handed over 8192 bytes at a time, each chunk before the
// next is read, and the whole body arrives intact and in order. Without a content length there is
// nothing to measure progress against, so the listener hears only the start and the end, however
// many chunks come. A server that drops the connection in the middle of the body fails the exchange
// after the chunks that did arrive.
TEST_F(HTTPExchangeTest, bodies_arrive_in_chunks_of_at_most_8192_bytes)
{
    std::string body = pattern(20000);
    exchange(http_reply(200, body));
    EXPECT_THAT(listener.chunk_sizes, ElementsAre(0u, 8192u, 8192u, 3616u));
    EXPECT_THAT(listener.events,
        ElementsAre("status 0.0000 ServerBusy", "length 20000", "data 0",
            "status 0.0000 ServerBusy", "data 8192", "status 0.4096 ServerBusy", "data 8192",
            "status 0.8192 ServerBusy", "data 3616", "status 1.0000 ServerBusy",
            "status 1.0000 ServerSuccess", "complete 20000"));
    EXPECT_EQ(listener.body, body);

    listener = RecordingListener();
    body = pattern(30000);
    exchange(http_reply(200, chunked(body, 3000), "Transfer-Encoding: chunked\r\n"));
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

    listener = RecordingListener();
    env.enable_log();
    exchange(http_reply(200, pattern(5000), "Content-Length: 20000\r\n"));
    ASSERT_GE(listener.events.size(), 3u);
    EXPECT_EQ(listener.events[listener.events.size() - 2], "status 1.0000 ServerSendFailed");
    EXPECT_EQ(listener.events.back(), "failed");
    std::uint32_t received = 0;
    for (std::uint32_t size : listener.chunk_sizes)
        received += size;
    EXPECT_EQ(received, 5000u);
    EXPECT_NE(read_log().find(u" Failed 2 at "), std::u16string::npos);
}

// Progress over a range reply runs from the range's first byte to the full length (the
// program's listeners never claim the range for themselves). Other headers reach
// on_http_header with lower-case names.
TEST_F(HTTPExchangeTest, range_progress_and_other_headers)
{
    std::string part = pattern(100);
    exchange(http_reply(206, part, "Content-Range: bytes 100-199/1000\r\n"));
    EXPECT_THAT(listener.events, ::testing::Contains("range 100-199/1000"));
    EXPECT_THAT(listener.events, ::testing::Contains("status 0.2000 ServerBusy"));
    EXPECT_EQ(listener.body, part);

    listener = RecordingListener();
    exchange(http_reply(200, "streamed", "X-Session-State: Fresh\r\n"));
    EXPECT_THAT(listener.headers,
        ::testing::Contains(std::pair<std::string, std::string>("x-session-state", "Fresh")));
    EXPECT_THAT(listener.headers,
        ::testing::Not(::testing::Contains(::testing::Key(std::string("content-length")))));

    // A content length that is not a plain number (here with an extra space, which the transport
    // itself accepts) is passed on as an ordinary header, and progress stays unknown.
    listener = RecordingListener();
    exchange("HTTP/1.1 200 OK\r\nContent-Length:  2\r\n\r\nok");
    EXPECT_THAT(listener.events,
        ElementsAre("status 0.0000 ServerBusy", "data 0", "data 2", "status 1.0000 ServerSuccess",
            "complete 2"));
    EXPECT_THAT(
        listener.headers, ElementsAre(std::pair<std::string, std::string>("content-length", " 2")));
}
