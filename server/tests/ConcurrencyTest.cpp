// Many clients at once against one task and one listener.
#include "server/tests/TestSupport.h"

#include <atomic>
#include <thread>

using namespace corvane;
using namespace corvane::server;
using namespace corvane::server::test;
using corvane::server::testing::LoopbackClient;

// Twenty clients saving the same task at once: every delta lands, each exactly once.
TEST(Concurrency, twenty_clients_lose_no_delta)
{
    TempFolder folder("vizserver-concurrency");
    RunningServer server(test_config(folder.file("service.db")));
    RpcClient owner(server.port());
    ASSERT_TRUE(owner.sign_up("ann"));
    VizTask project = owner.create(0, u"P");
    VizTask task = owner.create(project.id, u"Shared counter");
    constexpr int clients = 20, rounds = 10;
    std::atomic<int> failures { 0 };
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            RpcClient client(server.port());
            if (!client.open_session(owner.login_key()))
                return void(++failures);
            for (int r = 0; r < rounds; ++r)
                failures += client.update(task, u"", 1, c + 1).id != task.id;
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures, 0);
    VizTask final_task = owner.load(task.id).back();
    EXPECT_EQ(final_task.done, clients * rounds);
    EXPECT_EQ(final_task.plan, rounds * clients * (clients + 1) / 2);
    // One change per save, with distinct, dense sequence numbers.
    std::vector<Change> history = owner.history(task.id);
    ASSERT_EQ(history.size(), std::size_t(clients * rounds + 1));
    for (std::size_t i = 1; i < history.size(); ++i)
        EXPECT_LT(history[i].changeId, history[i - 1].changeId);
}

// Stopping lets a call in flight finish with its answer: the request's head has arrived when
// the stop begins, its body only afterwards, and the reply still comes.
TEST(Concurrency, stop_finishes_calls_in_flight)
{
    RunningServer server;
    int port = server.port();
    std::string request = LoopbackClient::call_request(set_viewed_text("1"));
    LoopbackClient http(port);
    std::size_t split = request.size() - 10;
    ASSERT_TRUE(http.send_request(request.substr(0, split)));
    ASSERT_TRUE(wait_until([&] { return server.server().calls_in_flight() == 1; }));

    std::atomic<bool> stopped { false };
    std::thread stopper([&] {
        server.server().stop();
        stopped = true;
    });
    // The stop has begun once the listener refuses newcomers; it must not end while the call
    // in flight still waits for its body.
    EXPECT_TRUE(wait_until([&] { return !LoopbackClient(port).send_request(""); }));
    EXPECT_FALSE(stopped);
    EXPECT_EQ(server.server().calls_in_flight(), 1);

    EXPECT_TRUE(http.send_request(request.substr(split)));
    auto reply = http.read_reply();
    stopper.join();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status_line, "HTTP/1.1 200 OK");
    EXPECT_NE(reply->body.find("NOT_LOGGED"), std::string::npos);
}
