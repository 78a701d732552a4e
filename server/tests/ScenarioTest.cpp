// The service's end-to-end scenarios, driven over HTTP with the client's own codec.
#include "server/tests/TestSupport.h"

#include "common/base/Text.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <thread>

using namespace corvane;
using namespace corvane::server;
using namespace corvane::server::test;

static const Change* find_change(const VizTask& task, int kind)
{
    for (const Change& change : task.changes)
        if (change.kind == kind)
            return &change;
    return nullptr;
}

static const VizTask* find_task(const std::vector<VizTask>& tasks, int id)
{
    for (const VizTask& task : tasks)
        if (task.id == id)
            return &task;
    return nullptr;
}

// Wrong passwords and unknown accounts look alike; the eleventh failure is throttled.
TEST(Scenario, login_failures_answer_empty_then_throttle)
{
    ServiceConfig config = test_config();
    config.throttling = true;
    RunningServer server(config);
    RpcClient client(server.port());
    ASSERT_TRUE(client.sign_up("ann"));
    EXPECT_EQ(client.login(u"ann@example.org", u"wrong"), u"");
    EXPECT_EQ(client.error, u"");
    EXPECT_EQ(client.login(u"nobody@example.org", u"secret-ann"), u"");
    EXPECT_EQ(client.error, u"");
    EXPECT_FALSE(client.login(u" ANN@Example.org ", u"secret-ann").empty());
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(client.login(u"ann@example.org", u"wrong"), u"");
    EXPECT_EQ(client.error, u"");
    // Ten failures from this address in the window: the next attempt is refused outright.
    EXPECT_EQ(client.login(u"ann@example.org", u"secret-ann"), u"");
    EXPECT_EQ(client.error, u"ERROR_TOO_MANY_ATTEMPTS");
    server.advance(16 * minute_ms);
    EXPECT_FALSE(client.login(u"ann@example.org", u"secret-ann").empty());
}

// Registration refuses bad input with its key and an existing account with "".
TEST(Scenario, registration_and_first_login)
{
    RunningServer server;
    RpcClient client(server.port());
    WString key = client.register_user(u"Bob@Example.org", u"secret1", u"  Bob  ");
    ASSERT_EQ(key.size(), 64u);
    EXPECT_EQ(client.register_user(u"bob@example.org", u"another1", u"B"), u"");
    EXPECT_EQ(client.error, u"");
    EXPECT_EQ(client.register_user(u"no-at-sign", u"secret1", u"x"), u"");
    EXPECT_EQ(client.error, u"ERROR_BAD_EMAIL");
    EXPECT_EQ(client.register_user(u"a b@example.org", u"secret1", u"x"), u"");
    EXPECT_EQ(client.error, u"ERROR_BAD_EMAIL");
    EXPECT_EQ(client.register_user(u"c@example.org", u"short", u"x"), u"");
    EXPECT_EQ(client.error, u"ERROR_BAD_PASSWORD");
    EXPECT_EQ(client.register_user(u"c@example.org", u"secret1", WString(101, u'n')), u"");
    EXPECT_EQ(client.error, u"ERROR_BAD_NAME");

    ASSERT_TRUE(client.open_session(key));
    EXPECT_EQ(client.auth.serverVersion, u"6");
    EXPECT_EQ(client.auth.userId, 1);
    EXPECT_EQ(client.auth.session.size(), 32u);
    EXPECT_EQ(client.auth.newsCursor, 0);
    VizTask project = client.create(0, u"P");
    ASSERT_TRUE(client.open_session(key));
    EXPECT_EQ(client.auth.newsCursor, 1) << "the cursor is the current sequence";
    std::vector<User> me = client.users({ client.user_id() });
    ASSERT_EQ(me.size(), 1u);
    EXPECT_EQ(me[0].account, u"bob@example.org");
    EXPECT_EQ(me[0].name, u"Bob");
}

// Sharing by account: news, permissions, unread counts and deltas that add up.
TEST(Scenario, sharing_brings_news_and_deltas_add_up)
{
    RunningServer server;
    RpcClient a(server.port()), b(server.port());
    ASSERT_TRUE(a.sign_up("ann"));
    ASSERT_TRUE(b.sign_up("bob"));
    VizTask project = a.create(0, u"Shared project");
    VizTask task = a.create(project.id, u"Paint the fence");
    a.news();
    b.news();

    ASSERT_EQ(a.share(project.id, u"Bob@Example.org "), 1);
    FilteredNews news = b.news();
    const VizTask* seen_project = find_task(news.tasks, project.id);
    ASSERT_NE(seen_project, nullptr);
    ASSERT_EQ(seen_project->permissions.size(), 2u);
    EXPECT_EQ(seen_project->permissions[0], (Permission { 3, u"ann@example.org", a.user_id() }));
    EXPECT_EQ(seen_project->permissions[1], (Permission { 2, u"bob@example.org", b.user_id() }));
    const Change* shared = find_change(*seen_project, Change::kind_shared);
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(shared->userId, b.user_id());
    EXPECT_EQ(shared->authorId, a.user_id());
    EXPECT_TRUE(seen_project->editable);
    ASSERT_EQ(b.children(project.id).size(), 1u);
    a.news();

    VizTask b_copy = b.load(task.id).back();
    VizTask saved = b.update(b_copy, u"Three done", 3, 0);
    EXPECT_EQ(saved.done, 3);
    news = a.news();
    const VizTask* changed = find_task(news.tasks, task.id);
    ASSERT_NE(changed, nullptr);
    ASSERT_EQ(changed->changes.size(), 1u);
    EXPECT_EQ(changed->changes[0].text, u"Three done");
    EXPECT_EQ(changed->changes[0].doneDelta, 3);
    EXPECT_EQ(changed->changes[0].authorId, b.user_id());
    EXPECT_TRUE(changed->unread);
    EXPECT_EQ(changed->unreadCount, 1);
    // The project is not in the tasks but its count moved: a state group of four.
    auto& states = news.taskStates;
    ASSERT_EQ(states.size() % 4, 0u);
    auto group = std::find(states.begin(), states.end(), project.id);
    ASSERT_NE(group, states.end());
    EXPECT_EQ((group - states.begin()) % 4, 0);
    EXPECT_EQ(group[1], 1);
    EXPECT_EQ(group[2], 1);
    bool users_named = false;
    for (const User& user : news.users)
        users_named = users_named || user.id == b.user_id();
    EXPECT_TRUE(users_named);

    // Two stale copies saved at once: the deltas add up, nothing is lost.
    VizTask a_copy = a.load(task.id).back();
    VizTask after_a = a.update(a_copy, u"", 2, 1);
    VizTask after_b = b.update(b_copy, u"", 5, 0);
    EXPECT_EQ(after_a.done, 5);
    EXPECT_EQ(after_b.done, 10);
    EXPECT_EQ(after_b.plan, 1);
    // A decrease floors at 0 and records what was applied.
    VizTask floored = a.update(a_copy, u"", -100, 0);
    EXPECT_EQ(floored.done, 0);
    std::vector<Change> history = a.changes(task.id, 1, a.news().cursor);
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].doneDelta, -10);
}

// Invitations by address: outbox ticket, single use, and withdrawal.
TEST(Scenario, invitation_ticket_from_outbox)
{
    std::filesystem::path outbox = std::filesystem::temp_directory_path()
        / ("vizserver-outbox-" + std::to_string(::getpid()));
    std::filesystem::remove_all(outbox);
    std::filesystem::create_directories(outbox);
    ServiceConfig config = test_config();
    config.outbox = outbox.string();
    RunningServer server(config);
    RpcClient a(server.port()), b(server.port());
    ASSERT_TRUE(a.sign_up("ann"));
    VizTask project = a.create(0, u"Garden\r\nAll about the garden");
    ASSERT_EQ(a.share(project.id, u"Carol@Mail.example"), 1);
    VizTask seen = a.load(project.id).back();
    ASSERT_EQ(seen.permissions.size(), 2u);
    EXPECT_EQ(seen.permissions[1], (Permission { 2, u"carol@mail.example", 0 }));
    // Asking again keeps the one invitation.
    ASSERT_EQ(a.share(project.id, u"carol@mail.example"), 1);
    EXPECT_EQ(a.load(project.id).back().permissions.size(), 2u);

    // The mail for one address: its ticket, or "" when there is none.
    auto ticket_for = [&](std::string_view address) {
        for (const auto& entry : std::filesystem::directory_iterator(outbox)) {
            std::ifstream file(entry.path());
            std::stringstream content;
            content << file.rdbuf();
            std::string mail = content.str();
            if (mail.find("To: " + std::string(address) + "\r\n") == std::string::npos)
                continue;
            EXPECT_NE(mail.find("Garden"), std::string::npos);
            std::size_t start = mail.find("--START-OF-TICKET--\r\n");
            std::size_t end = mail.find("\r\n--END-OF-TICKET--");
            if (start == std::string::npos || end == std::string::npos)
                return std::string();
            return mail.substr(start + 21, end - start - 21);
        }
        return std::string();
    };
    std::string ticket = ticket_for("carol@mail.example");
    EXPECT_EQ(ticket.size(), 40u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(outbox), {}), 1);

    // The inviter forwarding the mail redeems it too: that must not use it up.
    std::int64_t cursor = a.news().cursor;
    EXPECT_EQ(a.activate(from_utf8(ticket)), 2);
    EXPECT_EQ(a.load(project.id).back().permissions, seen.permissions);
    EXPECT_EQ(a.news().cursor, cursor) << "a member's redemption changes nothing";
    a.news();
    ASSERT_TRUE(b.sign_up("bob")); // A different address than the invited one.
    EXPECT_EQ(b.activate(u"\r\n" + from_utf8(ticket) + u"\n"), 1);
    EXPECT_EQ(b.activate(from_utf8(ticket)), 0) << "a ticket is good for one use";
    EXPECT_EQ(b.children(0).size(), 1u);
    // So must a participant's.
    ASSERT_EQ(a.share(project.id, u"erin@mail.example"), 1);
    EXPECT_EQ(b.activate(from_utf8(ticket_for("erin@mail.example"))), 2);
    EXPECT_EQ(
        a.load(project.id).back().permissions.back(), (Permission { 2, u"erin@mail.example", 0 }));
    ASSERT_EQ(a.share(project.id, u"erin@mail.example", 0), 1);

    FilteredNews news = a.news();
    const VizTask* updated = find_task(news.tasks, project.id);
    ASSERT_NE(updated, nullptr);
    ASSERT_EQ(updated->permissions.size(), 2u);
    EXPECT_EQ(updated->permissions[1], (Permission { 2, u"bob@example.org", b.user_id() }));

    ASSERT_EQ(a.share(project.id, u"dave@mail.example"), 1);
    ASSERT_EQ(a.share(project.id, u"dave@mail.example", 0), 1);
    std::vector<Change> history = a.changes(project.id, 10, a.news().cursor);
    ASSERT_FALSE(history.empty());
    EXPECT_EQ(history[0].kind, Change::kind_unshared);
    EXPECT_EQ(history[0].text, u"dave@mail.example");
    EXPECT_EQ(history[0].userId, 0);
    EXPECT_EQ(a.load(project.id).back().permissions.size(), 2u);
    EXPECT_EQ(a.share(project.id, u"not an address"), 0);
    std::filesystem::remove_all(outbox);
}

// News and history meet at the cursor; views travel between sessions; idle news is empty.
TEST(Scenario, news_cursor_views_and_reset)
{
    RunningServer server;
    RpcClient a(server.port()), b(server.port()), a2(server.port());
    ASSERT_TRUE(a.sign_up("ann"));
    ASSERT_TRUE(b.sign_up("bob"));
    ASSERT_TRUE(a2.open_session(a.login_key()));
    VizTask project = a.create(0, u"P");
    VizTask task = a.create(project.id, u"T");
    ASSERT_EQ(a.share(project.id, u"bob@example.org"), 1);
    b.news();
    VizTask copy = b.load(task.id).back();
    for (int i = 0; i < 3; ++i)
        b.update(copy, u"old " + to_wstring(i));
    a.news();
    a2.news();
    std::int32_t cursor = a.auth.newsCursor;
    for (int i = 0; i < 2; ++i)
        b.update(copy, u"new " + to_wstring(i));
    FilteredNews news = a.news();
    const VizTask* changed = find_task(news.tasks, task.id);
    ASSERT_NE(changed, nullptr);
    ASSERT_EQ(changed->changes.size(), 2u);
    EXPECT_EQ(changed->changes[0].text, u"new 1");
    EXPECT_EQ(changed->unreadCount, 5);
    for (const Change& change : changed->changes)
        EXPECT_GT(change.changeId, cursor);
    std::vector<Change> older = a.changes(task.id, 10, cursor);
    ASSERT_EQ(older.size(), 4u); // three comments and the creation
    EXPECT_EQ(older[0].text, u"old 2");
    EXPECT_LE(older[0].changeId, cursor);
    EXPECT_EQ(older.back().kind, 1);

    // Viewing in the second session: the first learns it as seen and cleared.
    EXPECT_TRUE(a2.viewed(task.id));
    news = a.news();
    EXPECT_EQ(news.seen, std::vector<std::int32_t> { task.id });
    EXPECT_NE(std::find(news.cleared.begin(), news.cleared.end(), task.id), news.cleared.end());
    EXPECT_NE(std::find(news.cleared.begin(), news.cleared.end(), project.id), news.cleared.end());

    std::int32_t before = a.auth.newsCursor;
    news = a.news();
    EXPECT_TRUE(news.is_idle());
    EXPECT_EQ(news.cursor, before);

    // A cursor from the future ends the session.
    a.auth.newsCursor = before + 1000;
    a.news();
    EXPECT_EQ(a.error, u"NOT_LOGGED");
    a.children(0);
    EXPECT_EQ(a.error, u"NOT_LOGGED");
}

// More than a thousand tasks to report ends the session instead of one huge reply.
TEST(Scenario, news_over_a_thousand_ids_resets)
{
    RunningServer server;
    RpcClient a(server.port());
    ASSERT_TRUE(a.sign_up("ann"));
    VizTask project = a.create(0, u"Big");
    a.news();
    TaskEdit edit;
    edit.task.id = -1;
    edit.task.responsibleId = a.user_id();
    for (int folder = 0; folder < 2; ++folder) {
        edit.task.parentId = project.id;
        int parent = server.service().create_task(a.session, edit, u"").id;
        edit.task.parentId = parent;
        for (int i = 0; i < 501; ++i)
            ASSERT_GT(server.service().create_task(a.session, edit, u"").id, 0);
    }
    a.news();
    EXPECT_EQ(a.error, u"NOT_LOGGED");
}

static Task cursor_of(const VizTask& task)
{
    Task cursor;
    static_cast<VizTask&>(cursor) = task;
    return cursor;
}

// Paging of the flat list: complete, in order, with the ancestors the page hangs from.
TEST(Scenario, paging_comes_in_pages_without_gaps)
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
    Task cursor;
    cursor.id = 0;
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
        for (const VizTask& task : list.secondList) {
            EXPECT_TRUE(known.contains(task.parentId)) << "ancestor missing for " << task.id;
            all.push_back(task);
        }
        if (list.secondList.size() < 25)
            break;
        cursor = cursor_of(list.secondList.back());
    }
    EXPECT_EQ(sizes, (std::vector<std::size_t> { 25, 25, 10 }));
    std::set<int> got;
    for (const VizTask& task : all)
        EXPECT_TRUE(got.insert(task.id).second) << "duplicate " << task.id;
    EXPECT_EQ(got, expected);
    for (std::size_t i = 1; i < all.size(); ++i)
        EXPECT_LT(compare_tasks(all[i - 1], all[i]), 0) << "order broken at " << i;
    EXPECT_TRUE(all.back().complete);

    Task none;
    none.id = 0;
    VizList office = a.list(-1, none, u"Office", 100);
    for (const VizTask& task : office.secondList)
        EXPECT_EQ(task.projectId, work.id);
    EXPECT_EQ(office.secondList.size(), 30u);
    VizList only_home = a.list(home.id, none, u"", 100);
    EXPECT_EQ(only_home.secondList.size(), 30u);
    VizList unseen = a.list(9999, none);
    EXPECT_TRUE(unseen.mainList.empty());
    EXPECT_TRUE(unseen.secondList.empty());
}

// Ending sessions and revoking keys, as the operator does.
TEST(Scenario, expired_sessions_and_keys)
{
    RunningServer server;
    RpcClient a(server.port());
    ASSERT_TRUE(a.sign_up("ann"));
    EXPECT_EQ(server.service().expire_sessions(u"ann@example.org"), 1);
    a.children(0);
    EXPECT_EQ(a.error, u"NOT_LOGGED");
    ASSERT_TRUE(a.open_session(a.login_key()));
    a.children(0);
    EXPECT_EQ(a.error, u"");
    // Idle beyond the limit ends the session too.
    server.advance(day_ms + 1);
    a.children(0);
    EXPECT_EQ(a.error, u"NOT_LOGGED");
    EXPECT_EQ(server.service().expire_login_keys(u""), 1);
    EXPECT_FALSE(a.open_session(a.login_key()));
    EXPECT_EQ(a.error, u"ERROR_LOGIN_EXPIRED");
}

// The version sent at login and the accepted client builds.
TEST(Scenario, server_version_and_strong_name)
{
    ServiceConfig config = test_config();
    config.server_version = u"5";
    RunningServer server(config);
    RpcClient a(server.port());
    ASSERT_TRUE(a.sign_up("ann"));
    EXPECT_EQ(a.auth.serverVersion, u"5");

    RpcClient other(server.port());
    ServiceIdentity identity;
    identity.moduleBaseUrl = u"http://127.0.0.1/";
    identity.strongName = u"0123456789ABCDEF0123456789ABCDEF";
    ServiceCalls calls(identity);
    other.send(calls.authenticate(u"ann@example.org", u"secret-ann"));
    EXPECT_EQ(other.error, u"ERROR_VERSION");
}

// Deleting a subtree, and writes that are refused without changing anything.
TEST(Scenario, delete_and_refused_writes)
{
    RunningServer server;
    RpcClient a(server.port()), b(server.port()), c(server.port());
    ASSERT_TRUE(a.sign_up("ann"));
    ASSERT_TRUE(b.sign_up("bob"));
    ASSERT_TRUE(c.sign_up("cid"));
    VizTask project = a.create(0, u"P");
    VizTask folder = a.create(project.id, u"Folder");
    VizTask leaf = a.create(folder.id, u"Leaf");
    VizTask deep = a.create(leaf.id, u"Deep");
    VizTask other = a.create(project.id, u"Other");
    ASSERT_EQ(a.share(project.id, u"bob@example.org", 2), 1);
    ASSERT_EQ(a.share(project.id, u"cid@example.org", 1), 1);
    b.news();
    c.news();

    // Bob (participant) owns neither the task nor the project; Cid is read-only.
    EXPECT_EQ(b.remove(folder.id), 0);
    EXPECT_EQ(c.remove(folder.id), 0);
    VizTask refused = c.update(c.load(leaf.id).back(), u"nope", 1);
    EXPECT_EQ(refused.id, -1);
    EXPECT_EQ(refused.parentId, -1);
    EXPECT_EQ(c.create(leaf.id, u"x").id, -1);
    EXPECT_EQ(c.share(project.id, u"dan@example.org"), 0);
    EXPECT_EQ(b.share(project.id, u"cid@example.org", 0), 0) << "only the owner removes others";
    EXPECT_EQ(b.load(leaf.id).back().done, 0);
    VizTask bad = a.load(leaf.id).back();
    bad.status = 6;
    EXPECT_EQ(a.update(bad).id, -1);
    bad.status = 0;
    bad.deadline = -5;
    EXPECT_EQ(a.update(bad).id, -1);
    bad.deadline = 0;
    bad.title = WString(10'001, u'x');
    EXPECT_EQ(a.update(bad).id, -1);
    EXPECT_EQ(a.load(leaf.id).back().title, u"Leaf");

    VizTask mine = b.create(other.id, u"Bob's");
    EXPECT_GT(mine.id, 0);
    EXPECT_EQ(b.remove(mine.id), 1) << "a participant may delete what he created";

    b.news();
    ASSERT_EQ(a.remove(folder.id), 1);
    EXPECT_TRUE(a.load(deep.id).empty());
    EXPECT_TRUE(a.changes(leaf.id, 10, 1'000'000).empty());
    FilteredNews news = b.news();
    EXPECT_EQ(news.removed, std::vector<std::int32_t> { folder.id });
    const VizTask* parent = find_task(news.tasks, project.id);
    ASSERT_NE(parent, nullptr);
    EXPECT_EQ(parent->childCount, 1);

    // Leaving, then the project's deletion reaches the one who stayed.
    EXPECT_EQ(c.share(project.id, u"cid@example.org", 0), 1);
    EXPECT_EQ(c.children(0).size(), 0u);
    news = c.news();
    EXPECT_EQ(news.removed, std::vector<std::int32_t> { project.id });
    EXPECT_EQ(a.remove(project.id), 1);
    news = b.news();
    EXPECT_EQ(news.removed, std::vector<std::int32_t> { project.id });
    EXPECT_TRUE(b.children(0).empty());
}

// Repeated reads may be answered from memory, but never once something they show has changed:
// another user's edit, the caller's own view elsewhere, an invitation used up.
TEST(Scenario, repeated_reads_follow_every_change)
{
    RunningServer server;
    RpcClient a(server.port()), b(server.port()), a2(server.port());
    ASSERT_TRUE(a.sign_up("ann"));
    ASSERT_TRUE(b.sign_up("bob"));
    ASSERT_TRUE(a2.open_session(a.login_key()));
    VizTask project = a.create(0, u"P");
    VizTask task = a.create(project.id, u"T");
    ASSERT_EQ(a.share(project.id, u"bob@example.org"), 1);
    EXPECT_EQ(a.children(project.id).at(0).unreadCount, 0);
    EXPECT_EQ(a.children(project.id).at(0).unreadCount, 0);
    b.update(b.load(task.id).back(), u"hello", 2);
    std::vector<VizTask> after = a.children(project.id);
    EXPECT_EQ(after.at(0).unreadCount, 1);
    EXPECT_EQ(after.at(0).done, 2);
    EXPECT_TRUE(a2.viewed(task.id));
    EXPECT_EQ(a.children(project.id).at(0).unreadCount, 0);
    EXPECT_EQ(a.load(task.id).back().unreadCount, 0);
    EXPECT_EQ(a.children(0).at(0).permissions.size(), 2u);
    ASSERT_EQ(a.share(project.id, u"bob@example.org", 0), 1);
    EXPECT_EQ(a.children(0).at(0).permissions.size(), 1u);
    EXPECT_TRUE(b.children(0).empty());
}

// The unread rule (others' changes above the caller's last view and join; a folder and a
// project sum their subtree) gives the same counts on every read path: the root list, a
// folder's children, a task with its ancestors, and a list page.
TEST(Scenario, unread_counts_agree_on_every_read)
{
    RunningServer server;
    RpcClient a(server.port()), b(server.port());
    ASSERT_TRUE(a.sign_up("ann"));
    ASSERT_TRUE(b.sign_up("bob"));
    VizTask project = a.create(0, u"P");
    VizTask folder = a.create(project.id, u"F");
    VizTask first = a.create(folder.id, u"t1", u"before Bob joined");
    VizTask second = a.create(folder.id, u"t2");
    ASSERT_EQ(a.share(project.id, u"bob@example.org"), 1);
    b.update(b.load(first.id).back(), u"one");
    b.update(b.load(first.id).back(), u"two");
    b.update(b.load(second.id).back(), u"three");
    b.update(b.load(folder.id).back(), u"four");
    ASSERT_TRUE(a.viewed(second.id));
    auto expect = [](const VizTask& task, int count, bool unread) {
        EXPECT_EQ(task.unreadCount, count) << to_utf8(task.title);
        EXPECT_EQ(task.unread, unread) << to_utf8(task.title);
    };
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
}

// A root list marks each project whose own status or any task below it, however deep,
// matches the Filter, and shows the same sharing list (owner, participants, invitations in
// that order) as loading the project alone.
TEST(Scenario, root_list_marks_and_sharing_match_single_reads)
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
