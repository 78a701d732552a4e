// One user can neither read nor change another user's data, through any method.
#include "server/tests/TestSupport.h"

using namespace corvane;
using namespace corvane::server;
using namespace corvane::server::test;

class Isolation : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(a.sign_up("ann"));
        ASSERT_TRUE(b.sign_up("bob"));
        project = a.create(0, u"Private");
        task = a.create(project.id, u"Secret task", u"secret comment");
        ASSERT_EQ(a.share(project.id, u"carol@mail.example"), 1); // A pending invitation.
        a.news();
        b.news();
    }

    // What A sees of the task, to compare after B's attempts.
    VizTask a_view() { return a.load(task.id).back(); }

    RunningServer server;
    RpcClient a { server.port() };
    RpcClient b { server.port() };
    VizTask project;
    VizTask task;
};

// Reads of what another user owns come back empty, his account as a placeholder, his changes
// never in the news, and his session is no login key.
TEST_F(Isolation, reads_of_unseen_tasks_are_empty)
{
    EXPECT_TRUE(b.children(0).empty());
    EXPECT_TRUE(b.children(project.id).empty());
    EXPECT_TRUE(b.load(task.id).empty());
    EXPECT_TRUE(b.load(project.id).empty());
    EXPECT_TRUE(b.changes(task.id, 10, 1'000'000).empty());
    Task start;
    start.id = 0;
    for (int listed : { -1, project.id }) {
        VizList list = b.list(listed, start);
        EXPECT_TRUE(list.mainList.empty() && list.secondList.empty());
    }
    EXPECT_EQ(b.status, 200);
    EXPECT_EQ(b.users({ a.user_id(), b.user_id(), 999, a.user_id() }),
        (std::vector<User> { { u"", a.user_id(), u"?" },
            { u"bob@example.org", b.user_id(), u"bob" }, { u"", 999, u"?" } }));

    a.update(a_view(), u"more secrets", 1);
    a.create(project.id, u"Another");
    ASSERT_TRUE(a.viewed(task.id));
    EXPECT_TRUE(b.news().is_idle());
    EXPECT_EQ(b.error, u"");
    EXPECT_FALSE(a.news().tasks.empty());

    RpcClient intruder(server.port());
    EXPECT_FALSE(intruder.open_session(a.session));
    EXPECT_EQ(intruder.error, u"ERROR_LOGIN_EXPIRED");
    intruder.session = a.login_key();
    intruder.children(0);
    EXPECT_EQ(intruder.error, u"NOT_LOGGED");
}

TEST_F(Isolation, writes_to_unseen_tasks_change_nothing)
{
    VizTask before = a_view();
    VizTask forged = before;
    forged.title = u"Hijacked";
    EXPECT_EQ(b.update(forged, u"mine now", 5).id, -1);
    EXPECT_EQ(b.create(task.id, u"Intruder").id, -1);
    EXPECT_EQ(b.remove(task.id), 0);
    EXPECT_EQ(b.remove(project.id), 0);
    EXPECT_EQ(b.share(project.id, u"bob@example.org", 2), 0);
    EXPECT_EQ(b.share(project.id, u"carol@mail.example", 0), 0);
    EXPECT_EQ(b.activate(u"0123456789abcdef0123456789abcdef01234567"), 0);
    EXPECT_TRUE(b.viewed(task.id));
    EXPECT_EQ(a_view(), before);
    EXPECT_EQ(a.load(project.id).back().permissions.size(), 2u) << "invitation still there";
    EXPECT_EQ(a.children(task.id).size(), 0u);
}
