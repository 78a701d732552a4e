#include "device/core/Clipboard.h"
#include "device/core/testing/TempFolder.h"
#include "device/model/engine/tests/EngineHarness.h"

#include <csignal>
#include <filesystem>
#include <sys/wait.h>

using namespace corvane;
using namespace corvane::test;

using EngineSync = EngineServiceTest;

// Carl shares a project with Ann. A name Ann asks for while nothing else is going on is fetched
// on its own, without any other call from the screens. On a first log-in, whose news carries no
// users, the members of a project that arrives in a list are fetched with it. An edit saved on
// one side arrives on the other, unread and with its comment, through a wait for news beside
// the queue: Carl asks for nothing (a wait in the queue's place would hold it for 25 s), and
// the wait is renewed for the next edit. Opening the task marks it viewed.
TEST_F(EngineSync, a_shared_project_its_members_and_its_edits)
{
    Client& ann = user(u"ann@example.org", u"Ann");
    Client& carl = user(u"carl@example.org", u"Carl");
    std::int32_t project = carl.create(0, u"Shared");
    std::int32_t task = carl.create(project, u"Paint the fence");
    ASSERT_GT(task, 0);
    carl.engine->listen_for_news(true);
    EXPECT_EQ(
        carl.act([&](Engine& e) { e.change_permission(project, u"ann@example.org", 2); }), u"");
    std::int32_t carl_id = carl.engine->auth().userId;
    ASSERT_EQ(ann.engine->find_user(carl_id), nullptr);
    ASSERT_FALSE(ann.engine->is_busy());
    EXPECT_EQ(ann.engine->user_name(carl_id), u"LoadingUser");
    EXPECT_TRUE(loop.run_until(
        scheduler, [&] { return ann.engine->find_user(carl_id) != nullptr; },
        std::chrono::seconds(10)));
    EXPECT_EQ(ann.engine->user_name(carl_id), u"Carl");

    Client& fresh = client();
    EXPECT_EQ(fresh.login(u"ann@example.org", u"secret-ann@example.org"), u"");
    EXPECT_EQ(fresh.act([](Engine& e) { e.open_folder(0); }), u"");
    ASSERT_NE(fresh.engine->find_task(project), nullptr);
    EXPECT_EQ(fresh.engine->find_task(project)->permissions.size(), 2u);
    const User* known = fresh.engine->find_user(carl_id);
    ASSERT_NE(known, nullptr);
    EXPECT_EQ(known->name, u"Carl");
    EXPECT_EQ(fresh.act([&](Engine& e) { e.open_folder(project); }), u"");
    ASSERT_NE(fresh.engine->find_task(task), nullptr);

    Task change = edit_of(*fresh.engine->find_task(task));
    change.done = 3;
    change.title = u"Paint the fence white";
    std::size_t before = carl.recorder.changed.size();
    EXPECT_EQ(fresh.act([&](Engine& e) { e.save_task(change, u"half done"); }), u"");
    EXPECT_EQ(fresh.recorder.saved, std::vector<std::int32_t> { task });

    auto heard = [&](const WString& title) {
        return loop.run_until(
            scheduler,
            [&] { return carl.engine->find_task(task)->title == title && !carl.engine->is_busy(); },
            std::chrono::seconds(15));
    };
    EXPECT_TRUE(heard(u"Paint the fence white")) << "the save did not reach the other account";
    const Task* seen = carl.engine->find_task(task);
    EXPECT_EQ(seen->done, 3);
    EXPECT_TRUE(seen->unread);
    ASSERT_FALSE(seen->loadedChanges.empty());
    EXPECT_EQ(seen->loadedChanges.front().text, u"half done");
    EXPECT_GT(carl.recorder.changed.size(), before);
    EXPECT_GE(carl.engine->find_task(project)->unreadCount, 1);
    EXPECT_EQ(carl.act([&](Engine& e) { e.open_task(task); }), u"");
    EXPECT_FALSE(carl.engine->find_task(task)->unread);

    change.title = u"Paint the gate too";
    EXPECT_EQ(fresh.act([&](Engine& e) { e.save_task(edit_of(change), u""); }), u"");
    EXPECT_TRUE(heard(u"Paint the gate too"));
    EXPECT_TRUE(carl.engine->hears_news_live());
    carl.engine->logout();
    EXPECT_FALSE(carl.engine->hears_news_live());
}

// An invitation by e-mail reaches a second account as a ticket on the clipboard.
TEST_F(EngineSync, an_invitation_ticket_from_the_clipboard)
{
    Client& ann = user(u"ann@example.org");
    std::int32_t project = ann.create(0, u"Invited");
    EXPECT_EQ(
        ann.act([&](Engine& e) { e.change_permission(project, u"newcomer@example.org", 2); }), u"");

    std::string ticket_file;
    for (auto& entry : std::filesystem::directory_iterator(server->outbox()))
        ticket_file = entry.path();
    ASSERT_FALSE(ticket_file.empty());
    std::string mail = read_file(ticket_file);
    ASSERT_NE(mail.find("--START-OF-TICKET--"), std::string::npos);

    // The inviter copies the mail to forward it: the ticket stays usable and on the clipboard,
    // nothing is reported, and it is not sent again at the next sync.
    write_clipboard_text(from_utf8(mail));
    EXPECT_EQ(ann.act([](Engine& e) { e.check_clipboard_ticket(); }), u"");
    EXPECT_TRUE(ann.recorder.tickets.empty());
    EXPECT_EQ(read_clipboard_text(), from_utf8(mail));
    ann.engine->check_clipboard_ticket();
    EXPECT_FALSE(ann.engine->is_busy());

    Client& cat = user(u"cat@example.org");
    EXPECT_EQ(cat.engine->find_task(project), nullptr);
    write_clipboard_text(u"Forwarded message:\r\n" + from_utf8(mail));
    EXPECT_EQ(cat.act([](Engine& e) { e.check_clipboard_ticket(); }), u"");
    EXPECT_EQ(cat.recorder.tickets, std::vector<bool> { true });
    EXPECT_EQ(read_clipboard_text(), WString(u"")); // taken off the clipboard
    ASSERT_NE(cat.engine->find_task(project), nullptr);
    EXPECT_EQ(cat.engine->find_task(project)->title, u"Invited");

    // The same ticket a second time is refused.
    write_clipboard_text(from_utf8(mail));
    EXPECT_EQ(cat.act([](Engine& e) { e.check_clipboard_ticket(); }), u"");
    EXPECT_EQ(cat.recorder.tickets, (std::vector<bool> { true, false }));
}

// A task's history is read in pages of 10; a short page ends it.
TEST_F(EngineSync, changes_come_in_pages_of_ten)
{
    Client& ann = user(u"ann@example.org");
    std::int32_t project = ann.create(0, u"Chatty");
    for (int i = 0; i < 14; ++i) {
        Task t = edit_of(*ann.engine->find_task(project));
        EXPECT_EQ(
            ann.act([&](Engine& e) { e.save_task(t, u"comment " + to_wstring(std::int32_t(i))); }),
            u"");
    }
    Client& reader = client();
    EXPECT_EQ(reader.login(u"ann@example.org", u"secret-ann@example.org"), u"");
    EXPECT_EQ(reader.act([&](Engine& e) {
        e.more_changes(project);
        EXPECT_TRUE(e.changes_pending(project));
    }),
        u"");
    EXPECT_FALSE(reader.engine->changes_pending(project));
    const Task* t = reader.engine->find_task(project);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->loadedChanges.size(), 10u);
    EXPECT_TRUE(t->moreChanges);
    EXPECT_EQ(t->loadedChanges.front().text, u"comment 13");
    EXPECT_EQ(reader.act([&](Engine& e) { e.more_changes(project); }), u"");
    EXPECT_EQ(t->loadedChanges.size(), 15u); // 14 comments and the creation
    EXPECT_FALSE(t->moreChanges);
    for (std::size_t i = 1; i < t->loadedChanges.size(); ++i)
        EXPECT_GT(t->loadedChanges[i - 1].changeId, t->loadedChanges[i].changeId);
}

// A process killed while it writes the cache leaves the previous cache readable.
TEST_F(EngineSync, a_kill_during_cache_writing_keeps_the_old_cache)
{
    Client& ann = user(u"ann@example.org");
    for (int i = 0; i < 20; ++i)
        ann.create(0, u"Project " + to_wstring(std::int32_t(i)));
    WString path = from_utf8(env.folder() + "/cache.dat");
    ASSERT_TRUE(ann.engine->save_cache(path));

    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        for (;;)
            (void)ann.engine->save_cache(path);
    }
    // Kill only once a write is under way: its temporary file is there.
    std::string temp_prefix = "cache.dat.tmp" + std::to_string(child) + ".";
    auto writing = [&] {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(env.folder(), error)) {
            if (entry.path().filename().string().starts_with(temp_prefix))
                return true;
        }
        return false;
    };
    bool began = wait_until(writing, std::chrono::seconds(10));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(began) << "no write began";

    Client& restarted = client();
    EXPECT_EQ(restarted.engine->load_cache(path), Engine::CacheLoad::Loaded);
    EXPECT_TRUE(restarted.engine->is_logged_in());
    EXPECT_EQ(restarted.engine->tasks().size(), ann.engine->tasks().size());
}
