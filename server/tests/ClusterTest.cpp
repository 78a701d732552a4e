// Several vizserver processes on one database behind haproxy: whatever instance a call lands
// on, the client sees one service. $CORVANE_CLUSTER_DB runs the same cases on another database.
#include "server/tests/TestSupport.h"

#include "server/testing/ServiceCluster.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <thread>

using namespace corvane;
using namespace corvane::server;
using namespace corvane::server::test;
using corvane::server::testing::ServiceCluster;

namespace {

// A running cluster in a private folder, removed with it.
struct Cluster {
    explicit Cluster(int instances, std::vector<std::string> extra)
        : cluster({ corvane::test::program_folder() + "/vizserver", folder.file(""),
            test_database(folder.file("service.db")), instances, extra })
    {
        started = cluster.start();
        EXPECT_TRUE(started) << cluster.error();
    }
    ~Cluster() { cluster.stop(); }
    // The ticket mailed to `address` by whichever instance took the call, or "".
    std::string ticket_for(const std::string& address)
    {
        std::string ticket;
        for (int i = 0; i < cluster.instances() && ticket.empty(); ++i)
            ticket = ticket_in(cluster.outbox(i), address);
        return ticket;
    }

    TempFolder folder { "vizserver-cluster" };
    ServiceCluster cluster;
    bool started { false };
};

} // namespace

// One client's calls go round the instances: its session, its idempotency keys, an invitation,
// its news cursor and the reads cached for it hold as on one instance.
TEST(Cluster, calls_on_different_instances_act_as_one_service)
{
    Cluster three(3, { "--no-throttle", "--password-cost", "cheap", "--news-wait", "2s" });
    ASSERT_TRUE(three.started);
    int port = three.cluster.port();
    RpcClient ann(port), bob(port);
    ASSERT_TRUE(ann.sign_up("ann") && bob.sign_up("bob"));
    VizTask project = ann.create(0, u"Shared");
    ASSERT_GT(project.id, 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_GT(three.cluster.calls_logged(i), 0) << "instance " << i << " took no call";

    // Two sends of one key land on two instances and make one task.
    ann.idempotency_key = "create-the-list";
    VizTask first = ann.create(project.id, u"List");
    VizTask again = ann.create(project.id, u"List");
    ann.idempotency_key.clear();
    EXPECT_EQ(again.id, first.id);
    EXPECT_EQ(ann.children(project.id).size(), 1u);

    // Mailed by one instance, redeemed on another, used up for all.
    ASSERT_EQ(ann.share(project.id, u"carol@mail.example"), 1);
    std::string ticket = three.ticket_for("carol@mail.example");
    ASSERT_EQ(ticket.size(), 40u);
    EXPECT_EQ(bob.activate(from_utf8(ticket)), 1);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(bob.activate(from_utf8(ticket)), 0) << "a ticket is good for one use";
    ASSERT_EQ(bob.children(0).size(), 1u);

    // Each change arrives once, whichever instance answers the news.
    bob.news();
    VizTask changed = ann.update(first, u"note", 1);
    FilteredNews news = bob.news();
    ASSERT_EQ(news.tasks.size(), 1u);
    EXPECT_EQ(news.tasks[0].id, changed.id);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(bob.news().tasks.empty()) << "a change came twice";

    // A read one instance has cached is not served again once another instance changed it.
    RpcClient bob_on_first(three.cluster.instance_port(0)),
        ann_on_second(three.cluster.instance_port(1));
    bob_on_first.session = bob.session;
    ann_on_second.session = ann.session;
    ASSERT_EQ(bob_on_first.children(project.id).size(), 1u);
    ASSERT_EQ(bob_on_first.children(project.id).size(), 1u);
    changed.title = u"List, renamed";
    ann_on_second.update(changed);
    std::vector<VizTask> seen = bob_on_first.children(project.id);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].title, u"List, renamed");

    // So with what a list page keeps of its project, and of the folders its pages showed,
    // between pages. One row a page, so the folders come as the rows' parents, one at a time.
    VizTask second = ann.create(project.id, u"Second");
    ASSERT_GT(ann.create(changed.id, u"Item").id, 0);
    ASSERT_GT(ann.create(second.id, u"Second item").id, 0);
    auto walk = [&] {
        std::vector<WString> rows;
        Task cursor;
        cursor.id = 0;
        for (int page = 0; page < 5; ++page) {
            VizList one = bob_on_first.list(project.id, cursor, u"", 1);
            if (one.secondList.empty())
                break;
            WString row = one.secondList[0].title + u" in ";
            for (const VizTask& above : one.mainList)
                row += above.title + u"/";
            rows.push_back(row);
            static_cast<VizTask&>(cursor) = one.secondList[0];
        }
        std::sort(rows.begin(), rows.end());
        return rows;
    };
    std::vector<WString> expected { u"Item in Shared/List, renamed/", u"List, renamed in Shared/",
        u"Second in Shared/", u"Second item in Shared/Second/" };
    EXPECT_EQ(walk(), expected);
    EXPECT_EQ(walk(), expected);
    project.title = u"Shared, renamed";
    ann_on_second.update(project);
    second.title = u"Second, renamed";
    ann_on_second.update(second);
    expected = { u"Item in Shared, renamed/List, renamed/", u"List, renamed in Shared, renamed/",
        u"Second item in Shared, renamed/Second, renamed/",
        u"Second, renamed in Shared, renamed/" };
    EXPECT_EQ(walk(), expected);
    Task first_page;
    first_page.id = 0;

    // A session ended on one instance is ended on all, also where its reads no longer wait for
    // their session check before they go out.
    RpcClient ann_on_first(three.cluster.instance_port(0));
    ann_on_first.session = ann.session;
    EXPECT_EQ(ann_on_first.list(project.id, first_page).secondList.size(), 4u);
    EXPECT_EQ(ann_on_first.list(project.id, first_page).secondList.size(), 4u);
    ann_on_second.auth.newsCursor = 1'000'000'000; // Never given out: the session ends.
    ann_on_second.news();
    EXPECT_EQ(ann_on_second.error, u"NOT_LOGGED");
    VizList after_end = ann_on_first.list(project.id, first_page);
    EXPECT_EQ(ann_on_first.error, u"NOT_LOGGED");
    EXPECT_TRUE(after_end.secondList.empty());
}

// Writers on two instances and a reader waiting for news on a third: the reader's waits end
// with the others' changes, and the news delivers every one of them exactly once.
TEST(Cluster, a_reader_on_a_third_instance_gets_every_change_once)
{
    Cluster three(3, { "--no-throttle", "--password-cost", "cheap", "--news-wait", "2s" });
    ASSERT_TRUE(three.started);
    RpcClient ann(three.cluster.instance_port(0)), bob(three.cluster.instance_port(1)),
        cid(three.cluster.instance_port(2));
    ASSERT_TRUE(ann.sign_up("ann") && bob.sign_up("bob") && cid.sign_up("cid"));
    VizTask project = ann.create(0, u"Shared");
    ASSERT_EQ(ann.share(project.id, u"bob@example.org"), 1);
    ASSERT_EQ(ann.share(project.id, u"cid@example.org", 1), 1);
    cid.news();

    constexpr int per_writer = 60;
    std::vector<int> created[2];
    std::atomic<int> writing { 2 };
    auto write = [&](RpcClient& writer, std::vector<int>& ids) {
        for (int i = 0; i < per_writer; ++i)
            ids.push_back(writer.create(project.id, u"Task " + to_wstring(i)).id);
        --writing;
    };
    std::thread first(write, std::ref(ann), std::ref(created[0]));
    std::thread second(write, std::ref(bob), std::ref(created[1]));

    std::map<int, int> delivered;
    int woken = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (delivered.size() < 2 * per_writer && std::chrono::steady_clock::now() < deadline) {
        int cursor = cid.auth.newsCursor;
        if (!cid.send(cid.calls().waitNews(cid.session, cursor)))
            break;
        woken += cid.reader().load_int() > cursor;
        for (const VizTask& task : cid.news().tasks)
            if (task.id != project.id)
                ++delivered[task.id];
    }
    first.join();
    second.join();
    EXPECT_EQ(writing, 0);
    EXPECT_GT(woken, 0);
    for (const std::vector<int>& ids : created) {
        ASSERT_EQ(ids.size(), std::size_t(per_writer));
        for (int id : ids)
            EXPECT_EQ(delivered[id], 1) << "task " << id;
    }
    EXPECT_EQ(delivered.size(), 2u * per_writer) << "news of tasks nobody made";
}
