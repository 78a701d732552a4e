#include "server/SqliteStorage.h"
#include "server/tests/TestSupport.h"

#include <algorithm>

namespace corvane::server::test {

namespace {

    // One waitNews call on a connection of its own, read when the test is ready for it.
    class Waiter {
    public:
        Waiter(int port, const WString& session, int cursor)
            : m_http(port)
        {
            ServiceCalls calls(ServiceIdentity { u"http://127.0.0.1/" });
            std::optional<RemoteCall> call = calls.waitNews(session, cursor);
            std::string body(reinterpret_cast<const char*>(call->body.data()), call->body.size());
            m_sent = m_http.send_request(testing::LoopbackClient::call_request(body));
        }

        // The cursor answered, or -1 (with a failure) when the reply is not a number.
        int answer()
        {
            std::optional<testing::LoopbackClient::Response> response;
            if (m_sent)
                response = m_http.read_reply();
            ReplyReader reader;
            if (!response || response->status != 200 || !reader.parse(response->body)
                || reader.is_exception()) {
                ADD_FAILURE() << "waitNews did not answer a number: "
                              << (response ? response->body : "no reply");
                return -1;
            }
            return reader.load_int();
        }

    private:
        testing::LoopbackClient m_http;
        bool m_sent { false };
    };

    ServiceConfig wait_config(std::int64_t wait_ms, unsigned threads = 4)
    {
        ServiceConfig config = test_config();
        config.news_wait_ms = wait_ms;
        config.threads = threads;
        config.per_address_limit = 0;
        return config;
    }

    // A owns a project shared with B; C works alone.
    struct Team {
        explicit Team(int port)
            : a(port)
            , b(port)
            , c(port)
        {
            EXPECT_TRUE(a.sign_up("ann") && b.sign_up("bob") && c.sign_up("cid"));
            project = a.create(0, u"Shared");
            EXPECT_EQ(a.share(project.id, u"bob@example.org"), 1);
            task = a.create(project.id, u"Task");
            b.news();
            a.news();
        }
        RpcClient a, b, c;
        VizTask project, task;
    };

} // namespace

// A parked waiter wakes for a change in a project it sees, made by another account, with the
// cursor of the news that brings it; hundreds of parked waiters hold none of the two threads,
// so other calls go on meanwhile. A caller with news, or with a cursor the news call must
// reset, is answered at once (a parked call would outlast the client's read timeout); a bad
// session gets NOT_LOGGED. Stopping the service answers the waiters still parked.
TEST(NewsWait, a_shared_change_wakes_every_parked_waiter)
{
    RunningServer server(wait_config(60'000, 2));
    Team team(server.port());
    int cursor = team.b.auth.newsCursor;
    std::vector<std::unique_ptr<Waiter>> waiters;
    for (int i = 0; i < 300; ++i)
        waiters.push_back(std::make_unique<Waiter>(server.port(), team.b.session, cursor));
    ASSERT_TRUE(wait_until([&] { return server.server().news_waiters() == 300; }));
    testing::LoopbackClient operator_view(server.port());
    auto metrics = operator_view.exchange("GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    ASSERT_TRUE(metrics);
    EXPECT_NE(metrics->body.find("\nvizserver_news_waiters 300\n"), std::string::npos);
    EXPECT_EQ(team.a.update(team.task, u"wake up", 2).id, team.task.id);
    for (auto& waiter : waiters)
        EXPECT_GT(waiter->answer(), cursor);

    int answered = Waiter(server.port(), team.b.session, cursor).answer();
    EXPECT_GT(answered, cursor);
    FilteredNews news = team.b.news();
    EXPECT_EQ(news.cursor, answered);
    ASSERT_EQ(news.tasks.size(), 1u);
    EXPECT_EQ(news.tasks[0].id, team.task.id);
    EXPECT_GT(Waiter(server.port(), team.b.session, -1).answer(), 0);
    EXPECT_GT(Waiter(server.port(), team.b.session, answered + 5).answer(), 0);
    EXPECT_EQ(server.server().news_waiters(), 0);
    RpcClient stranger(server.port());
    EXPECT_FALSE(stranger.send(stranger.calls().waitNews(u"0123456789abcdef0123456789abcdef", 0)));
    EXPECT_EQ(stranger.error, u"NOT_LOGGED");

    Waiter first(server.port(), team.b.session, answered),
        second(server.port(), team.b.session, answered);
    ASSERT_TRUE(wait_until([&] { return server.server().news_waiters() == 2; }));
    server.server().stop();
    EXPECT_EQ(first.answer(), answered);
    EXPECT_EQ(second.answer(), answered);
}

// A change the waiter cannot see does not wake it: it is answered its own cursor when its wait
// is over, even when that is longer than the idle time after which a connection is closed.
TEST(NewsWait, unseen_changes_answer_the_same_cursor)
{
    ServiceConfig config = wait_config(2500);
    config.request_deadline_ms = 1000;
    RunningServer server(config);
    Team team(server.port());
    int cursor = team.b.auth.newsCursor;
    Waiter waiter(server.port(), team.b.session, cursor);
    ASSERT_TRUE(wait_until([&] { return server.server().news_waiters() == 1; }));
    team.c.create(0, u"Private");
    EXPECT_EQ(waiter.answer(), cursor);
}

// The watcher wakes only the users the new events concern: for every range of the sequence,
// they must be exactly those the news call would show one of the range's events.
TEST(NewsWait, the_users_a_range_of_events_concerns_are_those_its_news_would_reach)
{
    TempFolder folder("vizserver-watch");
    std::string file = folder.file("service.db");
    {
        ServiceConfig config = wait_config(1000);
        config.database = file;
        RunningServer server(config);
        RpcClient ann(server.port()), bob(server.port()), cid(server.port()), dan(server.port());
        ASSERT_TRUE(ann.sign_up("ann") && bob.sign_up("bob") && cid.sign_up("cid"));
        ASSERT_TRUE(dan.sign_up("dan"));
        VizTask shared = ann.create(0, u"Shared");
        VizTask task = ann.create(shared.id, u"Task");
        ASSERT_EQ(ann.share(shared.id, u"bob@example.org"), 1);
        ann.update(task, u"for bob", 1);
        VizTask own = cid.create(0, u"Cid's own");
        cid.create(own.id, u"Private");
        ASSERT_EQ(ann.share(shared.id, u"cid@example.org", 1), 1);
        ASSERT_EQ(ann.share(shared.id, u"bob@example.org", 0), 1); // bob loses access
        ann.update(task, u"after bob", 1);
        ann.create(task.id, u"Child");
    }
    auto storage = SqliteStorage::open(file);
    auto transaction = storage->begin(TransactionKind::Read);
    std::int64_t last = transaction->current_seq();
    std::vector<int> users = transaction->all_user_ids();
    ASSERT_EQ(users.size(), 4u);
    int checked = 0;
    for (std::int64_t after = 0; after < last; ++after) {
        for (std::int64_t upto = after + 1; upto <= last; ++upto) {
            std::vector<int> expected;
            for (int user : users) {
                std::vector<EventRow> events = transaction->events_after(after, user, 1);
                if (!events.empty() && events[0].seq <= upto)
                    expected.push_back(user);
            }
            std::sort(expected.begin(), expected.end());
            EXPECT_EQ(transaction->users_seeing_events(after, upto), expected)
                << "events " << after << " to " << upto;
            checked += !expected.empty();
        }
    }
    EXPECT_GT(checked, 10);
}

} // namespace corvane::server::test
