// What a hostile or careless client tries: holding connections, trickling a request, guessing
// passwords in parallel, flooding the news, and living on rows that have expired.
#include "server/tests/TestSupport.h"

#include "server/Secrets.h"

#include "common/base/Text.h"

#include <cerrno>
#include <future>
#include <set>

using namespace corvane;
using namespace corvane::server;
using namespace corvane::server::test;
using corvane::server::testing::LoopbackClient;

namespace {

// A raw connection from a chosen loopback source address (Linux routes all of 127/8 there),
// for requests a well-behaved client would never send.
class RawConnection {
public:
    explicit RawConnection(int port, const char* source = "127.0.0.1")
        : m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_in local { .sin_family = AF_INET, .sin_port = 0, .sin_addr = {}, .sin_zero = {} };
        sockaddr_in remote = local;
        ::inet_pton(AF_INET, source, &local.sin_addr);
        remote.sin_port = htons(std::uint16_t(port));
        remote.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(m_fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0
            || ::connect(m_fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0)
            ADD_FAILURE() << "no connection from " << source;
    }
    ~RawConnection() { ::close(m_fd); }
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;
    bool send(const std::string& data)
    {
        return ::send(m_fd, data.data(), data.size(), MSG_NOSIGNAL) == ssize_t(data.size());
    }
    // Reads what arrives until the peer closes or resets (true) or `ms` pass without a byte, or
    // until a response head has arrived when `head_only`.
    bool wait_closed(int ms, bool head_only = false)
    {
        timeval timeout { ms / 1000, ms % 1000 * 1000 };
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        char chunk[4096];
        ssize_t n = 0;
        while ((!head_only || received.find("\r\n\r\n") == std::string::npos)
            && (n = ::recv(m_fd, chunk, sizeof chunk, 0)) > 0)
            received.append(chunk, std::size_t(n));
        return n == 0 || (n < 0 && errno != EAGAIN);
    }
    // The status line, once a response head has arrived (or the peer closed, or `ms` passed).
    std::string read_head(int ms)
    {
        wait_closed(ms, true);
        return received.substr(0, received.find("\r\n"));
    }
    std::string received;

private:
    int m_fd;
};

const std::string health = "GET /health HTTP/1.1\r\nHost: x\r\n\r\n";

} // namespace

// One address cannot take every connection: past its own limit it is turned away at once,
// while the connections it already has and every other address are still served.
TEST(Attack, one_address_cannot_hold_the_service)
{
    ServiceConfig config = test_config();
    config.per_address_limit = 4;
    config.connection_limit = 64;
    RunningServer server(config);
    std::vector<std::unique_ptr<RawConnection>> held;
    for (int i = 0; i < 5; ++i)
        held.push_back(std::make_unique<RawConnection>(server.port()));
    // One of the five is turned away; which one depends on the accepting threads.
    std::set<std::size_t> closed;
    for (auto until = Clock::now() + std::chrono::seconds(5);
         closed.empty() && Clock::now() < until;)
        for (std::size_t i = 0; i < held.size(); ++i)
            if (held[i]->wait_closed(20))
                closed.insert(i);
    ASSERT_EQ(closed.size(), 1u) << "the fifth connection from one address was kept";
    for (std::size_t i = 0; i < held.size(); ++i) {
        if (closed.contains(i))
            continue;
        ASSERT_TRUE(held[i]->send(health));
        EXPECT_EQ(held[i]->read_head(5000), "HTTP/1.1 200 OK");
    }
    RawConnection other(server.port(), "127.0.0.2");
    ASSERT_TRUE(other.send(health));
    EXPECT_EQ(other.read_head(5000), "HTTP/1.1 200 OK");
}

// A request trickled a byte at a time is cut at the deadline, though every byte would restart
// an idle timeout; a client that sends its request at once is served meanwhile.
TEST(Attack, trickled_request_is_cut_at_the_deadline)
{
    ServiceConfig config = test_config();
    config.request_deadline_ms = 300;
    RunningServer server(config);
    RawConnection slow(server.port());
    ASSERT_TRUE(slow.send("POST /service HTTP/1.1\r\n"));
    auto started = Clock::now();
    bool closed = false;
    for (int i = 0; i < 60 && !closed; ++i) {
        closed = slow.wait_closed(50); // The pace of the trickle, cut short by a close.
        if (!closed)
            slow.send("X");
    }
    EXPECT_TRUE(closed) << "still open after 3 s of trickling";
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(2));
    LoopbackClient other(server.port());
    auto reply = other.exchange(health);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 200);
}

namespace {

// An authenticate call sent through a proxy that names the client in X-Forwarded-For.
// A log-in with a wrong password, as the request text; made on the test's own thread, since the
// client's call writer is not shared between threads.
std::string wrong_login(RpcClient& calls, WStringView account)
{
    std::optional<RemoteCall> call = calls.calls().authenticate(account, u"wrong-password");
    return std::string(reinterpret_cast<const char*>(call->body.data()), call->body.size());
}

std::string login_through_proxy(LoopbackClient& http, const std::string& client, std::string body)
{
    auto reply = http.exchange("POST /service HTTP/1.1\r\nHost: x\r\nContent-Type: "
                               "text/x-gwt-rpc\r\nX-Forwarded-For: 203.0.113.9, "
        + client + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
    if (!reply || reply->status != 200)
        return "no reply";
    return reply->body.find("ERROR_TOO_MANY_ATTEMPTS") != std::string::npos ? "blocked" : "refused";
}

} // namespace

// Failed logins count per account and per client address, behind a trusted proxy by the
// address it names, and in the database, so a second instance on the file sees them too.
TEST(Attack, login_throttle_is_per_account_and_address_and_shared)
{
    TempFolder folder("vizserver-throttle");
    ServiceConfig config = test_config(folder.file("throttle.db"));
    config.throttling = true;
    config.throttle_limit = 3;
    config.trusted_proxies = { "127.0.0.1" };
    RunningServer first(config);
    RunningServer second(config);
    LoopbackClient http_first(first.port()), http_second(second.port());
    RpcClient calls(first.port());
    LoopbackClient* instance[] = { &http_first, &http_second };
    const struct {
        int instance;
        const char* client;
        const char16_t* account;
        const char* outcome;
    } attempts[] = {
        // Three failures for one account from two clients, across both instances.
        { 0, "10.0.0.1", u"ann@example.org", "refused" },
        { 1, "10.0.0.2", u"ann@example.org", "refused" },
        { 0, "10.0.0.2", u"ann@example.org", "refused" },
        { 1, "10.0.0.3", u"ann@example.org", "blocked" },
        // Everyone else behind the same proxy still logs in.
        { 0, "10.0.0.3", u"bob@example.org", "refused" },
        // One address guessing at several accounts is stopped too.
        { 1, "10.0.0.2", u"carl@example.org", "refused" },
        { 0, "10.0.0.2", u"dora@example.org", "blocked" },
        { 1, "10.0.0.4", u"dora@example.org", "refused" },
    };
    for (const auto& a : attempts)
        EXPECT_EQ(
            login_through_proxy(*instance[a.instance], a.client, wrong_login(calls, a.account)),
            a.outcome)
            << a.client << " " << to_utf8(a.account);
    // Parallel guesses are counted before they are checked: never more than the limit.
    std::string guess = wrong_login(calls, u"eve@example.org");
    std::vector<std::future<std::string>> guesses;
    for (int i = 0; i < 8; ++i)
        guesses.push_back(std::async(std::launch::async, [&, i] {
            LoopbackClient http(i % 2 ? first.port() : second.port());
            return login_through_proxy(http, "10.0.1." + std::to_string(i), guess);
        }));
    int refused = 0;
    for (auto& guess : guesses)
        refused += guess.get() == "refused";
    EXPECT_EQ(refused, 3);
}

// More than a thousand tasks to report ends the session instead of one huge reply, but only
// what the caller may see counts: another account's busy projects must not end its session.
TEST(Attack, news_limit_counts_only_visible_changes)
{
    RunningServer server;
    RpcClient outsider(server.port()), busy(server.port());
    ASSERT_TRUE(outsider.sign_up("out"));
    ASSERT_TRUE(busy.sign_up("busy"));
    outsider.news();
    busy.news();
    TaskEdit edit;
    edit.task.id = -1;
    edit.task.responsibleId = busy.user_id();
    for (int p = 0; p < 5; ++p) {
        edit.task.parentId = 0;
        edit.task.parentId = server.service().create_task(busy.session, edit, u"").id;
        for (int i = 0; i < 810; ++i)
            ASSERT_GT(server.service().create_task(busy.session, edit, u"").id, 0);
        if (p == 1) { // 1622 tasks to report: too many.
            busy.news();
            EXPECT_EQ(busy.error, u"NOT_LOGGED");
            ASSERT_TRUE(busy.open_session(busy.login_key()));
        }
    }
    EXPECT_TRUE(outsider.news().tasks.empty());
    EXPECT_EQ(outsider.error, u"");
    EXPECT_EQ(outsider.children(0).size(), 0u);
}

// Expired sessions, login keys and invitations, old login failures and old news go on the
// timer's purge; a client whose news cursor fell below the purged history starts afresh.
TEST(Attack, purge_removes_what_has_expired)
{
    ServiceConfig config = test_config();
    config.event_lifetime_ms = hour_ms;
    RunningServer server(config);
    RpcClient ann(server.port()), bob(server.port());
    ASSERT_TRUE(ann.sign_up("ann"));
    VizTask project = ann.create(0, u"P");
    ASSERT_EQ(ann.share(project.id, u"someone@example.org"), 1);
    // Ann's sessions, the project's invitations and the news Ann would get.
    auto counts = [&] {
        auto transaction = server.service().storage().begin(TransactionKind::Read);
        return std::tuple(int(transaction->find_session(key_digest(ann.session)).has_value()),
            transaction->project_invitations(project.id, 0).size(),
            transaction->events_after(0, ann.user_id(), 100).size());
    };
    server.service().purge(); // Marks the sequence value now.
    EXPECT_EQ(counts(), std::tuple(1, 1u, 2u));
    server.advance(31 * day_ms);
    ASSERT_TRUE(bob.sign_up("bob"));
    EXPECT_GE(server.service().purge(), 3);
    EXPECT_EQ(counts(), std::tuple(0, 0u, 0u));
    // Ann logs in again; her old cursor lies below what is kept.
    ASSERT_TRUE(ann.open_session(ann.login_key()));
    ann.auth.newsCursor = 1;
    ann.news();
    EXPECT_EQ(ann.error, u"NOT_LOGGED");
    ASSERT_TRUE(ann.open_session(ann.login_key()));
    ann.news();
    EXPECT_EQ(ann.error, u"");
}
