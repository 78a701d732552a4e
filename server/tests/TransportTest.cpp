// The HTTP framing and the request text: every refusal row, and values that must survive.
#include "server/tests/TestSupport.h"

#include "common/base/Text.h"

using namespace corvane;
using namespace corvane::server;
using namespace corvane::server::test;
using corvane::server::testing::LoopbackClient;

static const std::string strong = "3C9A1E77B0D24F6A8E15C2B9D07F4A63";
static const std::string interface_name = "com.ulmar.viz.client.rpc.VIZService";

class Transport : public ::testing::Test {
protected:
    int post_status(const std::string& body, const std::string& type = "text/x-gwt-rpc")
    {
        auto response = http.post("/service", body, type);
        return response ? response->status : -1;
    }
    std::string post_body(const std::string& body)
    {
        auto response = http.post("/service", body);
        return response ? response->body : "";
    }
    // A call of setViewed with the given session and id tokens.
    std::string set_viewed(const std::string& id_token)
    {
        return request_text({ "3", "0", "7", "http://x/", strong, interface_name, "setViewed",
            "java.lang.String", "I", "s", "1", "2", "3", "4", "2", "5", "6", "7", id_token });
    }

    RunningServer server;
    LoopbackClient http { server.port() };
};

TEST_F(Transport, framing_refusals)
{
    auto health = http.exchange("GET /health HTTP/1.1\r\nHost: x\r\n\r\n");
    ASSERT_TRUE(health);
    EXPECT_EQ(health->status_line, "HTTP/1.1 200 OK");
    EXPECT_EQ(health->body, "ok");
    EXPECT_EQ(http.post("/other", "x")->status, 404);
    EXPECT_EQ(http.exchange("GET /service HTTP/1.1\r\nHost: x\r\n\r\n")->status, 405);
    auto chunked
        = http.exchange("POST /service HTTP/1.1\r\nHost: x\r\nContent-Type: "
                        "text/x-gwt-rpc\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nx\r\n0\r\n\r\n");
    ASSERT_TRUE(chunked);
    EXPECT_EQ(chunked->status, 411);
    http.disconnect();
    EXPECT_EQ(post_status(std::string((1 << 20) + 1, 'x')), 413);
    http.disconnect();
    EXPECT_EQ(post_status(set_viewed("1"), "text/plain"), 415);
    EXPECT_EQ(post_status(set_viewed("1"), "text/x-gwt-rpc; charset=iso-8859-1"), 415);
    EXPECT_EQ(post_status(set_viewed("1"), ""), 415);
    auto ok = http.post("/service", set_viewed("1"), "Text/X-GWT-RPC; charset=\"UTF-8\"");
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->status, 200);
    EXPECT_EQ(ok->headers["content-type"], "text/plain; charset=utf-8");
    EXPECT_EQ(ok->headers["cache-control"], "no-store");
    // The session is unknown: the answer is the re-login exception.
    EXPECT_EQ(ok->body,
        "//EX[2,1,[\"com.ulmar.viz.client.VIZException/1576971601\",\"NOT_LOGGED\"],0,3]");
}

TEST_F(Transport, base_path_moves_the_endpoint)
{
    ServiceConfig config = test_config();
    config.base_path = "/viz/";
    RunningServer other(config);
    LoopbackClient client(other.port());
    EXPECT_EQ(client.post("/service", set_viewed("1"))->status, 404);
    EXPECT_EQ(client.post("/viz/service", set_viewed("1"))->status, 200);
    EXPECT_EQ(client.post("/viz/service?x=1", set_viewed("1"))->status, 200);
}

TEST_F(Transport, malformed_requests_are_400_and_change_nothing)
{
    const std::string sep = "\xEF\xBF\xBF";
    std::vector<std::string> rows = {
        "", "3" + sep + "0" + sep,
        set_viewed("1").substr(0, set_viewed("1").size() - 3), // no final separator
        set_viewed("x1"), // not a number
        set_viewed("-0"), // not the one spelling of zero
        set_viewed("01"), // nor of one
        set_viewed("1") + "7" + sep, // a token left over
        set_viewed("1").replace(0, 1, "4"), // stream version
        "3" + sep + "0" + sep + "99" + sep + "a" + sep, // string count beyond the text
        "\xC0\xAF" + set_viewed("1"), // overlong UTF-8
        "\xFF" + set_viewed("1"), // not UTF-8 at all
        request_text(
            { "3", "0", "7", "http://x/", strong, interface_name, "setViewed", "java.lang.String",
                "I", "s", "1", "2", "3", "4", "2", "5", "6", "9", "1" }), // reference
        request_text(
            { "3", "0", "7", "http://x/", strong, interface_name, "setViewed", "java.lang.String",
                "I", "s", "1", "2", "3", "4", "2", "5", "6", "7" }), // value missing
        request_text({ "3", "0", "4", "http://x/", strong, interface_name, "setViewed", "1", "2",
            "3", "4", "2147483647" }), // absurd parameter count
    };
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(post_status(rows[i]), 400) << "row " << i;
    auto response = http.post("/service", rows[3]);
    EXPECT_NE(response->body.find("malformed"), std::string::npos);
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
        std::vector<std::string> elements = { "3", "0", "11", "http://x/", strong, interface_name,
            "updateTask", "java.lang.String", "com.ulmar.viz.client.VizTask", session, task_sig,
            "java.util.Vector/3125574444", "java.lang.Long/4227064769", "P", "1", "2", "3", "4",
            "3", "5", "6", "5", "7" };
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
}

TEST_F(Transport, unsupported_methods_and_void_reply)
{
    std::string move
        = request_text({ "3", "0", "7", "http://x/", strong, interface_name, "moveTask",
            "java.lang.String", "s", "I", "1", "2", "3", "4", "3", "5", "7", "7", "6", "1", "2" });
    EXPECT_EQ(post_body(move),
        "//EX[2,1,[\"com.ulmar.viz.client.VIZException/1576971601\",\"ERROR_NOT_SUPPORTED\"],0,3]");
    // A known method with another signature is not supported either.
    std::string odd = request_text({ "3", "0", "6", "http://x/", strong, interface_name,
        "setViewed", "I", "s", "1", "2", "3", "4", "1", "5", "1" });
    EXPECT_NE(post_body(odd).find("ERROR_NOT_SUPPORTED"), std::string::npos);
    std::string other_interface
        = request_text({ "3", "0", "6", "http://x/", strong, "com.example.Other", "setViewed",
            "java.lang.String", "s", "1", "2", "3", "4", "2", "5", "6", "1" });
    EXPECT_NE(post_body(other_interface).find("ERROR_NOT_SUPPORTED"), std::string::npos);

    RpcClient client(server.port());
    ASSERT_TRUE(client.sign_up("ann"));
    VizTask project = client.create(0, u"P");
    ASSERT_TRUE(client.send(client.calls().setViewed(client.session, project.id)));
    EXPECT_EQ(client.body, "//OK[0,[],0,3]");
}

TEST_F(Transport, filter_arrays_are_bounded)
{
    RpcClient client(server.port());
    ASSERT_TRUE(client.sign_up("ann"));
    Filter filter;
    filter.statuses.assign(64, true);
    client.children(0, filter);
    EXPECT_EQ(client.status, 200);
    filter.statuses.assign(65, true);
    client.children(0, filter);
    EXPECT_EQ(client.status, 400);
}

// Texts with the reply form's special characters, pairs beyond U+FFFF, and Long dates all come
// back exactly as they were sent.
TEST_F(Transport, values_round_trip)
{
    RpcClient client(server.port());
    ASSERT_TRUE(client.sign_up("ann"));
    WString title = u"Say \"hi\", \\ back\\slash\r\nline two\n\U0001F600 end, \\x20 \u00e9";
    VizTask project = client.create(0, u"P");
    VizTask task = client.create(project.id, title, u"c\"o,m\\ment");
    EXPECT_EQ(task.title, title);
    task.deadline = 0x7FFF'FFFF'FFFFLL;
    task.title = title;
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
