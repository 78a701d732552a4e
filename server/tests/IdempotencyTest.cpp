// Change calls carrying an Idempotency-Key apply once, however often they arrive.
#include "server/IdempotencyScope.h"
#include "server/tests/TestSupport.h"

#include <atomic>
#include <thread>

using namespace corvane;
using namespace corvane::server;
using namespace corvane::server::test;

// A lost reply: the same save sent again, even from a new session after a silent log-in,
// gets the first reply back, and the comment and the progress delta are stored once. Ten
// copies at once, on a file database with its pool of connections: one applies, every copy
// gets the same reply.
TEST(Idempotency, a_repeated_key_replays_the_reply_and_changes_nothing)
{
    TempFolder folder("vizserver-idempotency");
    RunningServer server(test_config(folder.file("service.db")));
    RpcClient ann(server.port());
    ASSERT_TRUE(ann.sign_up("ann"));
    VizTask project = ann.create(0, u"P");
    VizTask task = ann.create(project.id, u"Count", u"", 2, 10);

    ann.idempotency_key = "0123456789abcdef0123456789abcdef";
    VizTask first = ann.update(task, u"two more", 2, 0);
    ASSERT_EQ(first.id, task.id);
    EXPECT_EQ(first.done, 4);
    std::string first_body = ann.body;

    ASSERT_TRUE(ann.open_session(ann.login_key())); // a new session, as after NOT_LOGGED
    VizTask again = ann.update(task, u"two more", 2, 0);
    EXPECT_EQ(ann.body, first_body);
    EXPECT_EQ(again.done, 4);
    // Deletes, sharing and creations answer their stored reply too.
    ann.idempotency_key = "d1";
    VizTask child = ann.create(task.id, u"Once");
    ASSERT_GT(child.id, 0);
    EXPECT_EQ(ann.create(task.id, u"Once").id, child.id);
    ann.idempotency_key = "d2";
    EXPECT_EQ(ann.remove(child.id), 1);
    EXPECT_EQ(ann.remove(child.id), 1); // not 0: the second one is the first one's reply

    ann.idempotency_key.clear();
    EXPECT_EQ(ann.load(task.id).back().done, 4);
    EXPECT_EQ(ann.load(task.id).back().childCount, 0);
    std::vector<Change> changes = ann.history(task.id);
    ASSERT_EQ(changes.size(), 2u); // the creation and one edit
    EXPECT_EQ(std::pair(changes[0].text, changes[0].doneDelta), std::pair(WString(u"two more"), 2));

    constexpr int copies = 10;
    std::vector<std::string> bodies(copies);
    std::atomic<int> failures { 0 };
    std::vector<std::thread> threads;
    for (int c = 0; c < copies; ++c) {
        threads.emplace_back([&, c] {
            RpcClient client(server.port());
            bool in = client.open_session(ann.login_key());
            client.idempotency_key = "k-concurrent";
            if (!in || client.create(project.id, u"Only one", u"", 1, 1).id <= 0)
                ++failures;
            bodies[std::size_t(c)] = client.body;
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(failures, 0);
    for (const std::string& body : bodies)
        EXPECT_EQ(body, bodies[0]);
    EXPECT_EQ(ann.children(project.id).size(), 2u) << "the task and the one copy";
}

// A key reused for another request is refused and changes nothing; keys are per account,
// so another account's same key is its own; without the header the call works as before. A
// key is kept a day and then forgotten: after that the same key applies anew.
TEST(Idempotency, a_mismatched_key_is_refused_and_keys_are_per_account_for_a_day)
{
    RunningServer server;
    RpcClient ann(server.port()), bob(server.port());
    ASSERT_TRUE(ann.sign_up("ann"));
    ASSERT_TRUE(bob.sign_up("bob"));
    VizTask project = ann.create(0, u"P");
    ann.idempotency_key = bob.idempotency_key = "same-key";
    ASSERT_EQ(ann.update(project, u"first").id, project.id);
    ann.update(project, u"second");
    EXPECT_EQ(ann.error, u"ERROR_IDEMPOTENCY_MISMATCH");
    EXPECT_EQ(ann.share(project.id, u"bob@example.org"), -1);
    EXPECT_EQ(ann.error, u"ERROR_IDEMPOTENCY_MISMATCH");

    VizTask bobs = bob.create(0, u"B");
    EXPECT_GT(bobs.id, 0);
    ann.idempotency_key.clear();
    std::vector<Change> changes = ann.history(project.id);
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].text, u"first");
    EXPECT_EQ(ann.update(project, u"no key").id, project.id);
    EXPECT_EQ(ann.update(project, u"no key").id, project.id);
    EXPECT_EQ(ann.history(project.id).size(), 4u);

    // A header that is not a key is refused before anything runs.
    ann.idempotency_key = "bad key";
    ann.update(project, u"x");
    EXPECT_EQ(ann.status, 400);

    ann.idempotency_key = "k-expiry";
    ASSERT_EQ(ann.update(project, u"once").id, project.id);
    server.advance(IdempotencyScope::lifetime_ms - 1000);
    ASSERT_TRUE(ann.open_session(ann.login_key()));
    ASSERT_EQ(ann.update(project, u"once").id, project.id);
    server.advance(2000);
    ASSERT_EQ(ann.update(project, u"once").id, project.id);
    ann.idempotency_key.clear();
    EXPECT_EQ(ann.history(project.id).size(), 6u);
}
