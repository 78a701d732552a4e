// What an operator relies on: the health check follows the database, and the metrics parse as
// Prometheus text and move with real calls.
#include "server/Metrics.h"
#include "server/tests/TestSupport.h"

#include <sqlite3.h>

#include <unistd.h>

using namespace corvane;
using namespace corvane::server;
using namespace corvane::server::test;
using corvane::server::testing::LoopbackClient;

namespace {

std::string get(LoopbackClient& http, const std::string& path, int* status = nullptr)
{
    auto response = http.exchange("GET " + path + " HTTP/1.1\r\nHost: x\r\n\r\n");
    if (status)
        *status = response ? response->status : -1;
    return response ? response->body : "";
}

// The value of one sample ("name{labels}"), 0 when it is absent, -1 when it is not a number.
double sample(const std::string& text, const std::string& series)
{
    std::size_t at = text.find("\n" + series + " ");
    if (at == std::string::npos)
        return 0;
    std::size_t start = at + series.size() + 2;
    std::string value = text.substr(start, text.find('\n', start) - start);
    try {
        return std::stod(value);
    } catch (const std::exception&) {
        return -1;
    }
}

// promtool's verdict on an exposition text, with its complaints.
std::string promtool_problems(const std::string& text)
{
    corvane::test::Launch launch;
    launch.arguments = { "promtool", "check", "metrics" };
    launch.input = text;
    launch.error_file = "/dev/stdout";
    std::string output;
    return corvane::test::run_to_end(std::move(launch), &output) == 0 ? "" : "promtool: " + output;
}

} // namespace

TEST(Operations, health_and_metrics_follow_real_calls)
{
    if (std::system("command -v promtool >/dev/null") != 0)
        GTEST_SKIP() << "promtool (Debian package prometheus) is not installed";
    TempFolder folder("vizserver-ops");
    std::string database = folder.file("service.db");
    RunningServer server(test_config(database));
    LoopbackClient http { server.port() };
    int status = 0;
    EXPECT_EQ(get(http, "/healthz", &status), "ok\n");
    EXPECT_EQ(status, 200);

    std::string before = get(http, "/metrics", &status);
    EXPECT_EQ(status, 200);
    EXPECT_EQ(promtool_problems(before), "");
    EXPECT_EQ(sample(before, "vizserver_live_sessions"), 0);

    RpcClient alice(server.port());
    ASSERT_TRUE(alice.sign_up("alice"));
    (void)alice.children(0);
    (void)alice.children(0); // Unchanged since the first read: served from the reply cache.
    EXPECT_EQ(alice.login(u"alice@example.org", u"wrong"), u"");
    EXPECT_EQ(http.post("/service", "7|0|garbage")->status, 400);

    std::string after = get(http, "/metrics", &status);
    EXPECT_EQ(promtool_problems(after), "");
    EXPECT_EQ(sample(after, "vizserver_calls_total{method=\"registerUser\",result=\"ok\"}"), 1);
    EXPECT_EQ(sample(after, "vizserver_calls_total{method=\"authenticate\",result=\"ok\"}"), 2);
    EXPECT_EQ(sample(after, "vizserver_calls_total{method=\"?\",result=\"malformed\"}"), 1);
    EXPECT_EQ(sample(after, "vizserver_call_duration_seconds_count"),
        sample(before, "vizserver_call_duration_seconds_count") + 6);
    EXPECT_EQ(sample(after, "vizserver_call_duration_seconds_bucket{le=\"+Inf\"}"), 6);
    EXPECT_EQ(sample(after, "vizserver_reply_cache_hits_total"), 1);
    EXPECT_EQ(sample(after, "vizserver_live_sessions"), 1);

    // Method names are the client's to choose: hostile ones neither break the format nor grow
    // the table without bound.
    for (int i = 0; i < 300; ++i) {
        std::string name = i == 0 ? "evil\"} 1\\" : "made_up_" + std::to_string(i);
        (void)http.post("/service", set_viewed_text("1", name));
    }
    std::string flooded = get(http, "/metrics");
    EXPECT_EQ(promtool_problems(flooded), "");
    std::size_t series = 0;
    for (std::size_t at = flooded.find("\nvizserver_calls_total{"); at != std::string::npos;
         at = flooded.find("\nvizserver_calls_total{", at + 1))
        ++series;
    EXPECT_LE(series, Metrics::max_series + 1);
    EXPECT_EQ(flooded.find("made_up_"), std::string::npos);
    EXPECT_EQ(flooded.find("evil"), std::string::npos);
    EXPECT_GE(
        sample(flooded, "vizserver_calls_total{method=\"unknown_method\",result=\"exception\"}"),
        300);

    // A database that cannot answer the health query makes the service unhealthy.
    if (postgresql_under_test()) {
        PgConnection::open(test_database(database))->execute("DROP TABLE sessions");
    } else {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(database.c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, "DROP TABLE sessions", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }
    EXPECT_EQ(get(http, "/healthz", &status), "database does not answer\n");
    EXPECT_EQ(status, 503);
    EXPECT_EQ(get(http, "/nothing", &status), "not found");
    EXPECT_EQ(status, 404);
}
