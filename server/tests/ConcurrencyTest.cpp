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

namespace {

// Whether a fresh connection to the port is taken; a closed listener refuses it at once.
bool accepts_connections(int port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(std::uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

// Polls `condition` until it holds or ten seconds pass.
template<typename Condition> bool wait_until(Condition condition)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}

} // namespace

// Stopping lets a call in flight finish with its answer: the request's head has arrived when
// the stop begins, its body only afterwards, and the reply still comes.
TEST(Concurrency, stop_finishes_calls_in_flight)
{
    RunningServer server;
    int port = server.port();
    std::string body = request_text({ "3", "0", "7", "http://x/",
        "3C9A1E77B0D24F6A8E15C2B9D07F4A63", "com.ulmar.viz.client.rpc.VIZService", "setViewed",
        "java.lang.String", "I", "s", "1", "2", "3", "4", "2", "5", "6", "7", "1" });
    std::string head = "POST /service HTTP/1.1\r\nHost: x\r\nContent-Type: text/x-gwt-rpc\r\n"
                       "Content-Length: "
        + std::to_string(body.size()) + "\r\n\r\n";
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(std::uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    std::string first = head + body.substr(0, 10);
    ASSERT_EQ(::send(fd, first.data(), first.size(), MSG_NOSIGNAL), ssize_t(first.size()));
    ASSERT_TRUE(wait_until([&] { return server.server().calls_in_flight() == 1; }));

    std::atomic<bool> stopped { false };
    std::thread stopper([&] {
        server.server().stop();
        stopped = true;
    });
    // The stop has begun once the listener refuses newcomers; it must not end while the call
    // in flight still waits for its body.
    EXPECT_TRUE(wait_until([&] { return !accepts_connections(port); }));
    EXPECT_FALSE(stopped);
    EXPECT_EQ(server.server().calls_in_flight(), 1);

    std::string rest = body.substr(10);
    EXPECT_EQ(::send(fd, rest.data(), rest.size(), MSG_NOSIGNAL), ssize_t(rest.size()));
    std::string reply;
    char chunk[4096];
    ssize_t n;
    while (
        reply.find("],0,3]") == std::string::npos && (n = ::recv(fd, chunk, sizeof chunk, 0)) > 0)
        reply.append(chunk, std::size_t(n));
    ::close(fd);
    stopper.join();
    EXPECT_EQ(reply.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << reply;
    EXPECT_NE(reply.find("NOT_LOGGED"), std::string::npos);
}
