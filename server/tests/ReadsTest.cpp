// What the read calls show: pages of the flat list, unread counts and root marks agree on
// every read path, and repeated reads answered from memory follow every change.
#include "server/tests/TestSupport.h"

#include "common/base/Text.h"

#include <map>
#include <set>

using namespace corvane;
using namespace corvane::server;
using namespace corvane::server::test;

// Paging of the flat list: complete, in order, with the ancestors the page hangs from.
TEST(Reads, paging_comes_in_pages_without_gaps)
{
    RunningServer server;
    RpcClient a(server.port());
    ASSERT_TRUE(a.sign_up("ann"));
    VizTask work = a.create(0, u"Work");
    VizTask home = a.create(0, u"Home");
    work.tag = u"Office";
    a.update(work);
    std::set<int> expected;
    std::vector<int> parents { work.id, home.id };
    for (int i = 0; i < 6; ++i) {
        server.advance(1000);
        VizTask folder = a.create(parents[std::size_t(i % 2)], u"Folder " + to_wstring(i));
        expected.insert(folder.id);
        parents.push_back(folder.id);
    }
    for (int i = 0; expected.size() < 60; ++i) {
        server.advance(i % 3 == 0 ? 0 : 500);
        VizTask task = a.create(parents[std::size_t(2 + i % 6)], u"Task " + to_wstring(i % 7));
        if (i % 5 == 0) {
            task.complete = true;
            task = a.update(task);
        }
        expected.insert(task.id);
    }
    std::vector<VizTask> all;
    Task start;
    start.id = 0;
    Task cursor = start;
    std::vector<std::size_t> sizes;
    // What the client's tree holds: the projects, then everything each page brings.
    std::set<int> known { 0, work.id, home.id };
    for (int page = 0; page < 5; ++page) {
        VizList list = a.list(-1, cursor);
        sizes.push_back(list.secondList.size());
        for (const VizTask& parent : list.mainList) {
            EXPECT_TRUE(known.contains(parent.parentId)) << "main list not top-down";
            known.insert(parent.id);
        }
        for (const VizTask& task : list.secondList)
            known.insert(task.id);
        for (const VizTask& task : list.secondList)
            EXPECT_TRUE(known.contains(task.parentId)) << "ancestor missing for " << task.id;
        all.insert(all.end(), list.secondList.begin(), list.secondList.end());
        if (list.secondList.size() < 25)
            break;
        static_cast<VizTask&>(cursor) = list.secondList.back();
    }
    EXPECT_EQ(sizes, (std::vector<std::size_t> { 25, 25, 10 }));
    std::set<int> got;
    for (const VizTask& task : all)
        EXPECT_TRUE(got.insert(task.id).second) << "duplicate " << task.id;
    EXPECT_EQ(got, expected);
    for (std::size_t i = 1; i < all.size(); ++i)
        EXPECT_LT(compare_tasks(all[i - 1], all[i]), 0) << "order broken at " << i;
    EXPECT_TRUE(all.back().complete);

    VizList office = a.list(-1, start, u"Office", 100);
    for (const VizTask& task : office.secondList)
        EXPECT_EQ(task.projectId, work.id);
    EXPECT_EQ(office.secondList.size(), 30u);
    EXPECT_EQ(a.list(home.id, start, u"", 100).secondList.size(), 30u);
    VizList unseen = a.list(9999, start);
    EXPECT_TRUE(unseen.mainList.empty() && unseen.secondList.empty());
}

// The unread rule (others' changes above the caller's last view and join; a folder and a
// project sum their subtree) gives the same counts on every read path: the root list, a
// folder's children, a task with its ancestors, and a list page. Repeated reads may be answered
// from memory, but never once something they show has changed: another user's edit, the
// caller's own view in another session, a member leaving.
TEST(Reads, unread_counts_agree_on_every_read_and_follow_every_change)
{
    RunningServer server;
    RpcClient a(server.port()), b(server.port()), a2(server.port());
    ASSERT_TRUE(a.sign_up("ann"));
    ASSERT_TRUE(b.sign_up("bob"));
    ASSERT_TRUE(a2.open_session(a.login_key()));
    VizTask project = a.create(0, u"P");
    VizTask folder = a.create(project.id, u"F");
    VizTask first = a.create(folder.id, u"t1", u"before Bob joined");
    VizTask second = a.create(folder.id, u"t2");
    ASSERT_EQ(a.share(project.id, u"bob@example.org"), 1);
    auto expect = [](const VizTask& task, int count, bool unread) {
        EXPECT_EQ(task.unreadCount, count) << to_utf8(task.title);
        EXPECT_EQ(task.unread, unread) << to_utf8(task.title);
    };
    for (int i = 0; i < 2; ++i) {
        expect(a.children(project.id).at(0), 0, false);
        expect(a.children(folder.id).at(0), 0, false);
    }
    b.update(b.load(first.id).back(), u"one", 2);
    b.update(b.load(first.id).back(), u"two");
    b.update(b.load(second.id).back(), u"three");
    b.update(b.load(folder.id).back(), u"four");
    EXPECT_EQ(a.children(folder.id).at(0).done, 2);
    expect(a.children(folder.id).at(1), 1, true);
    ASSERT_TRUE(a2.viewed(second.id));
    expect(a.children(0).at(0), 3, false);
    expect(a.children(project.id).at(0), 3, true);
    for (const VizTask& task : a.children(folder.id))
        expect(task, task.id == first.id ? 2 : 0, task.id == first.id);
    std::vector<VizTask> chain = a.load(first.id);
    ASSERT_EQ(chain.size(), 3u);
    expect(chain[0], 3, false);
    expect(chain[1], 3, true);
    expect(chain[2], 2, true);
    VizList page = a.list(project.id, Task {});
    for (const VizTask& task : page.secondList)
        expect(
            task, task.id == second.id ? 0 : (task.id == first.id ? 2 : 3), task.id != second.id);
    // Nothing from before Bob joined, and none of his own changes, is unread for him.
    expect(b.children(0).at(0), 0, false);
    a.update(a.load(first.id).back(), u"for Bob");
    expect(b.load(first.id).back(), 1, true);
    expect(b.children(0).at(0), 1, false);

    EXPECT_EQ(a.children(0).at(0).permissions.size(), 2u);
    ASSERT_EQ(a.share(project.id, u"bob@example.org", 0), 1);
    EXPECT_EQ(a.children(0).at(0).permissions.size(), 1u);
    EXPECT_TRUE(b.children(0).empty());
}

// A root list marks each project whose own status or any task below it, however deep,
// matches the Filter, and shows the same sharing list (owner, participants, invitations in
// that order) as loading the project alone.
TEST(Reads, root_list_marks_and_sharing_match_single_reads)
{
    RunningServer server;
    RpcClient a(server.port()), b(server.port());
    ASSERT_TRUE(a.sign_up("ann"));
    ASSERT_TRUE(b.sign_up("bob"));
    VizTask deep = a.create(0, u"Deep match");
    VizTask folder = a.create(deep.id, u"Folder");
    VizTask leaf = a.create(folder.id, u"Leaf");
    VizTask plain = a.create(0, u"No match");
    a.create(a.create(plain.id, u"Folder").id, u"Leaf");
    VizTask itself = a.create(0, u"Matches itself");
    a.create(itself.id, u"Leaf");
    VizTask empty = a.create(0, u"Empty");
    for (VizTask task : { a.load(leaf.id).back(), a.load(itself.id).back() }) {
        task.status = 3;
        ASSERT_GT(a.update(task).id, 0);
    }
    ASSERT_EQ(a.share(plain.id, u"bob@example.org"), 1);
    ASSERT_EQ(a.share(plain.id, u"zed@example.org", 1), 1); // A pending invitation.

    Filter third;
    third.statuses.assign(Filter::status_count, false);
    third.statuses[3] = true;
    std::vector<VizTask> roots = a.children(0, third);
    ASSERT_EQ(roots.size(), 4u);
    std::map<int, bool> marks;
    for (const VizTask& root : roots)
        marks[root.id] = root.marked;
    EXPECT_EQ(marks,
        (std::map<int, bool> {
            { deep.id, true }, { plain.id, false }, { itself.id, true }, { empty.id, false } }));
    const VizTask* shared = find_task(roots, plain.id);
    ASSERT_NE(shared, nullptr);
    std::vector<Permission> expected { { 3, u"ann@example.org", a.user_id() },
        { 2, u"bob@example.org", b.user_id() }, { 1, u"zed@example.org", 0 } };
    EXPECT_EQ(shared->permissions, expected);
    EXPECT_EQ(a.load(plain.id, third).back().permissions, expected);
    EXPECT_FALSE(a.load(plain.id, third).back().marked);
    EXPECT_TRUE(a.load(deep.id, third).back().marked);
}
