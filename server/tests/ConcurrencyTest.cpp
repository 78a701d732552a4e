// Many clients at once against one task and one listener.
#include "server/tests/TestSupport.h"

#include <atomic>
#include <filesystem>
#include <thread>

using namespace corvane;
using namespace corvane::server;
using namespace corvane::server::test;

// Twenty clients saving the same task at once: every delta lands, each exactly once.
TEST(Concurrency, twenty_clients_lose_no_delta)
{
    std::string db = (std::filesystem::temp_directory_path()
        / ("vizserver-concurrency-" + std::to_string(::getpid()) + ".db"))
                         .string();
    for (const char* suffix : { "", "-wal", "-shm" })
        std::filesystem::remove(db + suffix);
    RunningServer server(test_config(db));
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
            if (!client.open_session(owner.login_key())) {
                ++failures;
                return;
            }
            for (int r = 0; r < rounds; ++r) {
                VizTask saved = client.update(task, u"", 1, c + 1);
                if (saved.id != task.id)
                    ++failures;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures, 0);
    VizTask final_task = owner.load(task.id).back();
    EXPECT_EQ(final_task.done, clients * rounds);
    EXPECT_EQ(final_task.plan, rounds * clients * (clients + 1) / 2);
    // One change per save, with distinct, dense sequence numbers.
    std::vector<Change> history;
    for (int position = 1'000'000;;) {
        std::vector<Change> page = owner.changes(task.id, 100, position);
        if (page.empty())
            break;
        history.insert(history.end(), page.begin(), page.end());
        position = page.back().changeId - 1;
    }
    ASSERT_EQ(history.size(), std::size_t(clients * rounds + 1));
    for (std::size_t i = 1; i < history.size(); ++i)
        EXPECT_LT(history[i].changeId, history[i - 1].changeId);
    for (const char* suffix : { "", "-wal", "-shm" })
        std::filesystem::remove(db + suffix);
}

// Stopping lets the calls in flight finish with their answers.
TEST(Concurrency, stop_finishes_calls_in_flight)
{
    ServiceConfig config = test_config();
    config.password_cost = PasswordCost { 4, 64u << 20 }; // Slow enough to still be running.
    RunningServer server(config);
    RpcClient setup(server.port());
    ASSERT_FALSE(setup.register_user(u"ann@example.org", u"secret-ann", u"Ann").empty());
    std::atomic<int> answered { 0 };
    std::vector<std::thread> threads;
    for (int i = 0; i < 3; ++i) {
        threads.emplace_back([&] {
            RpcClient client(server.port());
            if (!client.login(u"ann@example.org", u"secret-ann").empty())
                ++answered;
        });
    }
    // Stop only once all three are being served (each takes a slow hash).
    for (int i = 0; i < 2000 && server.server().calls_in_flight() < 3; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(server.server().calls_in_flight(), 3);
    server.server().stop();
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(answered, 3);
}
