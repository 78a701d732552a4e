// The service's end-to-end scenarios, driven over HTTP with the client's own codec: accounts,
// sharing, invitations, news and deletion.
#include "server/tests/TestSupport.h"

#include "common/base/Text.h"

#include <algorithm>

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

// Registration refuses bad input with its key and an existing account with ""; wrong passwords
// and unknown accounts look alike, and the eleventh failure from one address is throttled; a
// session idle past a day ends; another client build is refused.
TEST(Scenario, accounts_register_log_in_and_expire)
{
    ServiceConfig config = test_config();
    config.throttling = true;
    config.server_version = u"5";
    RunningServer server(config);
    RpcClient client(server.port());
    WString key = client.register_user(u"Bob@Example.org", u"secret1", u"  Bob  ");
    ASSERT_EQ(key.size(), 64u);
    const struct {
        const char16_t* email;
        const char16_t* password;
        WString name;
        const char16_t* error;
    } refused[] = {
        { u"bob@example.org", u"another1", u"B", u"" }, // the account exists
        { u"no-at-sign", u"secret1", u"x", u"ERROR_BAD_EMAIL" },
        { u"a b@example.org", u"secret1", u"x", u"ERROR_BAD_EMAIL" },
        { u"c@example.org", u"short", u"x", u"ERROR_BAD_PASSWORD" },
        { u"c@example.org", u"secret1", WString(101, u'n'), u"ERROR_BAD_NAME" },
        { u"c@example.org", u"secret1", WString(u"a\0b", 3), u"ERROR_BAD_NAME" },
    };
    for (const auto& row : refused) {
        EXPECT_EQ(client.register_user(row.email, row.password, row.name), u"");
        EXPECT_EQ(client.error, WString(row.error)) << to_utf8(row.email);
    }

    ASSERT_TRUE(client.open_session(key));
    EXPECT_EQ(client.auth.serverVersion, u"5");
    EXPECT_EQ(std::tuple(client.auth.userId, client.auth.session.size(), client.auth.newsCursor),
        std::tuple(1, 32u, 0));
    client.create(0, u"P");
    ASSERT_TRUE(client.open_session(key));
    EXPECT_EQ(client.auth.newsCursor, 1) << "the cursor is the current sequence";
    EXPECT_EQ(client.users({ 1 }), (std::vector<User> { { u"bob@example.org", 1, u"Bob" } }));

    for (const char16_t* account : { u"bob@example.org", u"nobody@example.org" }) {
        EXPECT_EQ(client.login(account, u"wrong-pw"), u"");
        EXPECT_EQ(client.error, u"");
    }
    EXPECT_FALSE(client.login(u" BOB@Example.org ", u"secret1").empty());
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(client.login(u"bob@example.org", u"wrong"), u"");
    EXPECT_EQ(client.error, u"");
    // Ten failures from this address in the window: the next attempt is refused outright.
    EXPECT_EQ(client.login(u"bob@example.org", u"secret1"), u"");
    EXPECT_EQ(client.error, u"ERROR_TOO_MANY_ATTEMPTS");
    server.advance(16 * minute_ms);
    EXPECT_FALSE(client.login(u"bob@example.org", u"secret1").empty());

    server.advance(day_ms);
    client.children(0);
    EXPECT_EQ(client.error, u"NOT_LOGGED");
    ServiceCalls other_build(
        ServiceIdentity { u"http://127.0.0.1/", u"0123456789ABCDEF0123456789ABCDEF" });
    client.send(other_build.authenticate(u"bob@example.org", u"secret1"));
    EXPECT_EQ(client.error, u"ERROR_VERSION");
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
    EXPECT_EQ(seen_project->permissions,
        (std::vector<Permission> {
            { 3, u"ann@example.org", a.user_id() }, { 2, u"bob@example.org", b.user_id() } }));
    const Change* shared = find_change(*seen_project, Change::kind_shared);
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(std::pair(shared->userId, shared->authorId), std::pair(b.user_id(), a.user_id()));
    EXPECT_TRUE(seen_project->editable);
    ASSERT_EQ(b.children(project.id).size(), 1u);
    a.news();

    VizTask b_copy = b.load(task.id).back();
    EXPECT_EQ(b.update(b_copy, u"Three done", 3, 0).done, 3);
    news = a.news();
    const VizTask* changed = find_task(news.tasks, task.id);
    ASSERT_NE(changed, nullptr);
    ASSERT_EQ(changed->changes.size(), 1u);
    const Change& change = changed->changes[0];
    EXPECT_EQ(std::tuple(change.text, change.doneDelta, change.authorId, changed->unread,
                  changed->unreadCount),
        std::tuple(WString(u"Three done"), 3, b.user_id(), true, 1));
    // The project is not in the tasks but its count moved: a state group of four.
    auto& states = news.taskStates;
    ASSERT_EQ(states.size() % 4, 0u);
    auto group = std::find(states.begin(), states.end(), project.id);
    ASSERT_NE(group, states.end());
    EXPECT_EQ((group - states.begin()) % 4, 0);
    EXPECT_EQ(group[1], 1);
    EXPECT_EQ(group[2], 1);
    EXPECT_TRUE(std::any_of(news.users.begin(), news.users.end(),
        [&](const User& user) { return user.id == b.user_id(); }));

    // Two stale copies saved at once: the deltas add up, nothing is lost.
    VizTask a_copy = a.load(task.id).back();
    EXPECT_EQ(a.update(a_copy, u"", 2, 1).done, 5);
    VizTask after_b = b.update(b_copy, u"", 5, 0);
    EXPECT_EQ(std::pair(after_b.done, after_b.plan), std::pair(10, 1));
    // A decrease floors at 0 and records what was applied.
    EXPECT_EQ(a.update(a_copy, u"", -100, 0).done, 0);
    EXPECT_EQ(a.history(task.id).at(0).doneDelta, -10);
}

// Invitations by address: outbox ticket, single use, withdrawal, and the end of an invitation
// whose issuer lost the right to share.
TEST(Scenario, invitation_ticket_from_outbox)
{
    TempFolder folder("vizserver-outbox");
    std::string outbox = folder.file("");
    ServiceConfig config = test_config();
    config.outbox = outbox;
    RunningServer server(config);
    RpcClient a(server.port()), b(server.port());
    ASSERT_TRUE(a.sign_up("ann"));
    VizTask project = a.create(0, u"Garden\r\nAll about the garden");
    ASSERT_EQ(a.share(project.id, u"Carol@Mail.example"), 1);
    // Asking again keeps the one invitation.
    ASSERT_EQ(a.share(project.id, u"carol@mail.example"), 1);
    VizTask seen = a.load(project.id).back();
    EXPECT_EQ(seen.permissions,
        (std::vector<Permission> {
            { 3, u"ann@example.org", a.user_id() }, { 2, u"carol@mail.example", 0 } }));

    std::string ticket = ticket_in(outbox, "carol@mail.example");
    EXPECT_EQ(ticket.size(), 40u);
    ASSERT_EQ(std::distance(std::filesystem::directory_iterator(outbox), {}), 1);
    std::ifstream mail(std::filesystem::directory_iterator(outbox)->path());
    EXPECT_NE(
        std::string(std::istreambuf_iterator<char>(mail), {}).find("Garden"), std::string::npos);

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
    EXPECT_EQ(b.activate(from_utf8(ticket_in(outbox, "erin@mail.example"))), 2);
    EXPECT_EQ(
        a.load(project.id).back().permissions.back(), (Permission { 2, u"erin@mail.example", 0 }));
    ASSERT_EQ(a.share(project.id, u"erin@mail.example", 0), 1);

    FilteredNews news = a.news();
    const VizTask* updated = find_task(news.tasks, project.id);
    ASSERT_NE(updated, nullptr);
    EXPECT_EQ(updated->permissions.back(), (Permission { 2, u"bob@example.org", b.user_id() }));

    ASSERT_EQ(a.share(project.id, u"dave@mail.example"), 1);
    ASSERT_EQ(a.share(project.id, u"dave@mail.example", 0), 1);
    Change unshared = a.history(project.id).at(0);
    EXPECT_EQ(std::tuple(unshared.kind, unshared.text, unshared.userId),
        std::tuple(Change::kind_unshared, WString(u"dave@mail.example"), 0));
    EXPECT_EQ(a.load(project.id).back().permissions.size(), 2u);
    EXPECT_EQ(a.share(project.id, u"not an address"), 0);

    // An invitation ends when its issuer may no longer share the project: demoted to read-only,
    // or removed. The ticket then grants nothing, and the invitation leaves the member list.
    RpcClient c(server.port());
    ASSERT_TRUE(c.sign_up("cid"));
    for (int level : { 1, 0 }) {
        std::string address = "guest" + std::to_string(level) + "@mail.example";
        ASSERT_EQ(a.share(project.id, u"bob@example.org", 2), 1);
        ASSERT_EQ(b.share(project.id, from_utf8(address)), 1);
        std::string ticket = ticket_in(outbox, address);
        ASSERT_EQ(ticket.size(), 40u);
        ASSERT_EQ(a.share(project.id, u"bob@example.org", level), 1);
        EXPECT_EQ(a.load(project.id).back().permissions.size(), level ? 2u : 1u) << level;
        EXPECT_EQ(c.activate(from_utf8(ticket)), 0) << level;
        EXPECT_TRUE(c.children(0).empty()) << level;
    }
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
    for (int field = 0; field < 3; ++field) {
        VizTask bad = a.load(leaf.id).back();
        bad.status = field == 0 ? 6 : 0;
        bad.deadline = field == 1 ? -5 : 0;
        bad.title = field == 2 ? WString(10'001, u'x') : bad.title;
        EXPECT_EQ(a.update(bad).id, -1) << "field " << field;
    }
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
