// The HTTP framing and the request text: every refusal row, and values that must survive.
#include "server/tests/TestSupport.h"

#include "common/base/Text.h"

using namespace corvane;
using namespace corvane::server;
using namespace corvane::server::test;
using corvane::server::testing::LoopbackClient;

class Transport : public ::testing::Test {
protected:
    // The status of the reply, or -1 without one; the body stays in `reply`.
    int post_status(const std::string& body, const std::string& type = "text/x-gwt-rpc")
    {
        auto response = http.post("/service", body, type);
        reply = response ? response->body : "";
        return response ? response->status : -1;
    }

    RunningServer server;
    LoopbackClient http { server.port() };
    std::string reply;
};

TEST_F(Transport, framing_refusals)
{
    auto post = [](const std::string& type) {
        std::string body = set_viewed_text("1");
        return "POST /service HTTP/1.1\r\nHost: x\r\n" + type
            + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    };
    const struct {
        std::string request;
        int status;
    } rows[] = {
        { "GET /service HTTP/1.1\r\nHost: x\r\n\r\n", 405 },
        { "POST /other HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n", 404 },
        { "POST /service HTTP/1.1\r\nHost: x\r\nContent-Type: text/x-gwt-rpc\r\nTransfer-Encoding: "
          "chunked\r\n\r\n1\r\nx\r\n0\r\n\r\n",
            411 },
        // A declared oversized body is refused before it is sent, without "100 Continue".
        { "POST /service HTTP/1.1\r\nHost: x\r\nContent-Type: text/x-gwt-rpc\r\nContent-Length: "
          "1048577\r\nExpect: 100-continue\r\n\r\n",
            413 },
        { "\x16\x03\x01 garbage\r\n\r\n", 400 },
        { post("Content-Type: text/plain\r\n"), 415 },
        { post("Content-Type: text/x-gwt-rpc; charset=iso-8859-1\r\n"), 415 },
        { post(""), 415 },
    };
    for (const auto& row : rows) {
        http.disconnect();
        auto response = http.exchange(row.request);
        EXPECT_EQ(response ? response->status : -1, row.status) << row.request.substr(0, 50);
    }
    EXPECT_EQ(http.exchange("GET /health HTTP/1.1\r\nHost: x\r\n\r\n")->body, "ok");
    auto ok = http.post("/service", set_viewed_text("1"), "Text/X-GWT-RPC; charset=\"UTF-8\"");
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->status, 200);
    EXPECT_EQ(ok->headers["content-type"], "text/plain; charset=utf-8");
    EXPECT_EQ(ok->headers["cache-control"], "no-store");
    // The session is unknown: the answer is the re-login exception.
    EXPECT_EQ(ok->body,
        "//EX[2,1,[\"com.ulmar.viz.client.VIZException/1576971601\",\"NOT_LOGGED\"],0,3]");

    ServiceConfig config = test_config();
    config.base_path = "/viz/";
    RunningServer moved(config);
    LoopbackClient client(moved.port());
    EXPECT_EQ(client.post("/service", set_viewed_text("1"))->status, 404);
    EXPECT_EQ(client.post("/viz/service", set_viewed_text("1"))->status, 200);
    EXPECT_EQ(client.post("/viz/service?x=1", set_viewed_text("1"))->status, 200);
}

// Request texts that do not parse are 400; ones that parse but name no method of the service
// are its exception.
TEST_F(Transport, malformed_requests_and_unknown_methods)
{
    const std::string sep = "\xEF\xBF\xBF";
    const std::string call = set_viewed_text("1");
    auto with_tokens = [&](int strings, std::vector<std::string> tokens) {
        std::vector<std::string> elements { "3", "0", std::to_string(strings), "http://x/",
            strong_name, interface_name, "setViewed", "java.lang.String", "I", "s" };
        elements.resize(std::size_t(strings) + 3);
        elements.insert(elements.end(), tokens.begin(), tokens.end());
        return request_text(elements);
    };
    const struct {
        std::string text;
        const char* answer; // 400's body names it malformed
    } rows[] = {
        { "", "malformed" },
        { "3" + sep + "0" + sep, "malformed" },
        { call.substr(0, call.size() - 3), "malformed" }, // no final separator
        { set_viewed_text("x1"), "malformed" }, // not a number
        { set_viewed_text("-0"), "malformed" }, // not the one spelling of zero
        { set_viewed_text("01"), "malformed" }, // nor of one
        { call + "7" + sep, "malformed" }, // a token left over
        { std::string(call).replace(0, 1, "4"), "malformed" }, // stream version
        { "3" + sep + "0" + sep + "99" + sep + "a" + sep, "malformed" }, // string count
        { "\xC0\xAF" + call, "malformed" }, // overlong UTF-8
        { "\xFF" + call, "malformed" }, // not UTF-8 at all
        { with_tokens(7, { "1", "2", "3", "4", "2", "5", "6", "9", "1" }),
            "malformed" }, // reference
        { with_tokens(7, { "1", "2", "3", "4", "2", "5", "6", "7" }), "malformed" }, // no value
        { with_tokens(4, { "1", "2", "3", "4", "2147483647" }), "malformed" }, // parameter count
        { request_text({ "3", "0", "7", "http://x/", strong_name, interface_name, "moveTask",
              "java.lang.String", "s", "I", "1", "2", "3", "4", "3", "5", "7", "7", "6", "1",
              "2" }),
            "//EX[2,1,[\"com.ulmar.viz.client.VIZException/1576971601\",\"ERROR_NOT_SUPPORTED\"],0,"
            "3]" },
        // A known method with another signature, or of another interface, is not supported.
        { request_text({ "3", "0", "6", "http://x/", strong_name, interface_name, "setViewed", "I",
              "s", "1", "2", "3", "4", "1", "5", "1" }),
            "ERROR_NOT_SUPPORTED" },
        { request_text({ "3", "0", "6", "http://x/", strong_name, "com.example.Other", "setViewed",
              "java.lang.String", "s", "1", "2", "3", "4", "2", "5", "6", "1" }),
            "ERROR_NOT_SUPPORTED" },
    };
    for (const auto& row : rows) {
        bool refused = std::string(row.answer) == "malformed";
        EXPECT_EQ(post_status(row.text), refused ? 400 : 200) << row.text;
        EXPECT_NE(reply.find(row.answer), std::string::npos) << reply;
    }
}

// Records with broken structure: counts, signatures, null where a value is required.
TEST_F(Transport, malformed_records_are_400)
{
    RpcClient client(server.port());
    ASSERT_TRUE(client.sign_up("ann"));
    VizTask project = client.create(0, u"P");
    std::string session = to_utf8(client.session);
    const std::string task_sig = "com.ulmar.viz.client.VizTask/2697914237";
    // Strings: 1 base, 2 strong name, 3 interface, 4 method, 5 String, 6 VizTask type,
    // 7 session, 8 task signature, 9 Vector, 10 Long, 11 the title.
    auto update = [&](const std::vector<std::string>& task_tokens) {
        std::vector<std::string> elements = { "3", "0", "11", "http://x/", strong_name,
            interface_name, "updateTask", "java.lang.String", "com.ulmar.viz.client.VizTask",
            session, task_sig, "java.util.Vector/3125574444", "java.lang.Long/4227064769", "P", "1",
            "2", "3", "4", "3", "5", "6", "5", "7" };
        elements.insert(elements.end(), task_tokens.begin(), task_tokens.end());
        elements.push_back("0"); // the comment: null reads as ""
        return post_status(request_text(elements));
    };
    // Fields: owner, editable, changes, v1, v2, complete, date, v3, deadline, done, plan,
    // childCount, unreadCount, id, marked, unread, stringList, title, parentId, permissions,
    // projectId, responsibleId, status, tag.
    std::vector<std::string> good = { "0", "1", "0", "0", "0", "0", "0", "0", "0", "0", "0", "0",
        "0", std::to_string(project.id), "0", "0", "0", "11", "0", "0", "0",
        std::to_string(client.user_id()), "0", "0" };
    auto with = [&](std::size_t field, const std::vector<std::string>& tokens) {
        std::vector<std::string> row = { "8" };
        for (std::size_t i = 0; i < good.size(); ++i) {
            if (i == field)
                row.insert(row.end(), tokens.begin(), tokens.end());
            else
                row.push_back(good[i]);
        }
        return row;
    };
    EXPECT_EQ(update(with(99, {})), 200);
    EXPECT_EQ(update({ "0" }), 400) << "null task";
    EXPECT_EQ(update(with(2, { "9", "2147483647" })), 400) << "absurd vector count";
    EXPECT_EQ(update(with(2, { "9", "-1" })), 400) << "negative vector count";
    EXPECT_EQ(update(with(2, { "10" })), 400) << "wrong vector signature";
    EXPECT_EQ(update(with(6, { "9", "1" })), 400) << "Long with the Vector signature";
    EXPECT_EQ(update(with(9, { "1.5" })), 400) << "not an int";
    std::vector<std::string> wrong_sig = with(99, {});
    wrong_sig[0] = "9";
    EXPECT_EQ(update(wrong_sig), 400) << "record signature";
    EXPECT_EQ(client.load(project.id).back().title, u"P");
    // A void reply, and a filter array at its bound and one past it.
    ASSERT_TRUE(client.send(client.calls().setViewed(client.session, project.id)));
    EXPECT_EQ(client.body, "//OK[0,[],0,3]");
    Filter filter;
    filter.statuses.assign(64, true);
    client.children(0, filter);
    EXPECT_EQ(client.status, 200);
    filter.statuses.assign(65, true);
    client.children(0, filter);
    EXPECT_EQ(client.status, 400);
}

// Texts with the reply form's special characters, pairs beyond U+FFFF, lone surrogates, a
// leading U+FEFF or U+FFFE (which SQLite's UTF-16 binding takes for a byte-order mark) and Long
// dates all come back exactly as they were sent.
TEST_F(Transport, values_round_trip)
{
    RpcClient client(server.port());
    ASSERT_TRUE(client.sign_up("ann"));
    WString title = u"Say \"hi\", \\ back\\slash\r\nline two\n\U0001F600 end, \\x20 \u00e9";
    VizTask project = client.create(0, u"P");
    for (WString odd : { WString(u"\uFFFEHello"), WString(u"\uFEFFHi"),
             WString(1, char16_t(0xDC00)) + u"lone", WString(u"a\xD800z\uE000") })
        EXPECT_EQ(client.load(client.create(project.id, odd).id).back().title, odd);
    VizTask task = client.create(project.id, title, u"c\"o,m\\ment");
    EXPECT_EQ(task.title, title);
    task.deadline = 0x7FFF'FFFF'FFFFLL;
    VizTask saved = client.update(task, u"\U0001F4A9");
    EXPECT_EQ(saved.deadline, 0x7FFF'FFFF'FFFFLL);
    EXPECT_EQ(saved.date, 1'800'000'000'000);
    std::vector<Change> history = client.changes(task.id, 10, 1'000'000);
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history[0].text, u"\U0001F4A9");
    EXPECT_EQ(history[0].deadline, 0x7FFF'FFFF'FFFFLL);
    EXPECT_EQ(history[1].text, u"c\"o,m\\ment");
    EXPECT_EQ(history[1].title, title);
    // The reply carries the pair as two 3-byte sequences, as the client decodes it.
    EXPECT_NE(client.body.find("\xED\xA0\xBD\xED\xB2\xA9"), std::string::npos);
    EXPECT_EQ(client.body.find("\xF0\x9F"), std::string::npos);
}
