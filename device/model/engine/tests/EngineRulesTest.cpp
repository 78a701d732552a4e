// The engine's rules, with crafted replies handed straight to it: which call goes next, and how
// replies merge into the model. No service runs: a call goes to a closed port, and the test
// answers it before that failure is ever delivered (the scheduler is never run).
#include "common/records/FilteredNews.h"
#include "common/records/VizList.h"
#include "common/records/WireValues.h"
#include "device/core/testing/FakeClock.h"
#include "device/core/testing/ManualSchedulerHost.h"
#include "device/model/engine/tests/EngineHarness.h"
#include "device/rpc/ServiceReplies.h"

#include <functional>

namespace corvane {

struct EngineProbe {
    // Answers the call in flight with the reply `write` produces.
    static void answer(Engine& engine, const std::function<void(ReplyWriter&)>& write)
    {
        ReplyWriter writer(SpaceForm::Plain);
        write(writer);
        std::string bytes;
        writer.finish_utf8(bytes);
        engine.on_reply(SharedBuffer(bytes.data(), static_cast<std::uint32_t>(bytes.size())));
    }
};

} // namespace corvane

using namespace corvane;

namespace {

using test::known_task;

VizTask incoming(std::int32_t id, std::int32_t parent, std::int32_t project, std::int64_t date)
{
    return static_cast<VizTask>(known_task(id, parent, project, date));
}

FilteredNews news_at(std::int32_t cursor, std::vector<VizTask> tasks = {})
{
    FilteredNews news;
    news.cursor = cursor;
    news.tasks = std::move(tasks);
    return news;
}

struct EngineRules : ::testing::Test {
    test::TestEnvironment env;
    test::FakeClock clock;
    test::ManualSchedulerHost host;
    CActiveScheduler scheduler { host, clock };
    test::EngineRecorder listener;
    Engine engine { u"http://127.0.0.1:1/", listener };

    // A logged-in user 7 (known) with project 10 under the root, holding `tasks`; the list shows
    // project 10 from its start.
    void start(const std::vector<Task>& tasks, bool more_pages = true)
    {
        EngineCache cache;
        cache.auth = AuthInfo {
            .newsCursor = 42, .session = u"s1", .userId = 7, .serverVersion = u"6", .newsStamp = 5
        };
        cache.loginKey = u"key";
        Task root = known_task(0, -1, -1);
        Task project = known_task(10, 0, 10);
        project.permissions = { Permission { 3, u"ann@x", 7 } };
        for (const Task& t : tasks) {
            if (t.parentId == 10)
                project.childIds.push_back(t.id);
            else if (t.parentId == 0)
                root.childIds.push_back(t.id);
        }
        root.childIds.insert(root.childIds.begin(), 10);
        cache.tasks = { root, project };
        cache.tasks.insert(cache.tasks.end(), tasks.begin(), tasks.end());
        cache.users = { User { u"ann@x", 7, u"Ann" } };
        cache.listProject = 10;
        cache.morePages = more_pages;
        ASSERT_EQ(test::load_cache(engine, cache), Engine::CacheLoad::Loaded);
        ASSERT_FALSE(engine.is_busy());
        listener.clear();
    }

    void answer(const std::function<void(ReplyWriter&)>& write)
    {
        EngineProbe::answer(engine, write);
    }

    // Asks for news and answers with `news`.
    void news(const FilteredNews& reply)
    {
        engine.request_news();
        engine.retry();
        ASSERT_EQ(engine.pending_key(), u"getFilteredNews");
        answer([&](ReplyWriter& w) { reply.save(w); });
    }

    // Asks for the next page of the list and answers with these pages.
    void page(const std::vector<VizTask>& main, const std::vector<VizTask>& second)
    {
        engine.refresh_list();
        ASSERT_EQ(engine.pending_key(), u"getFilteredList");
        VizList list { main, second };
        answer([&](ReplyWriter& w) { list.save(w); });
    }

    bool listed(std::int32_t id) const
    {
        const Task* t = engine.find_task(id);
        return t && t->listed;
    }
};

} // namespace

// With work of every kind waiting at once, the calls go in the fixed order: save, delete,
// permission, users, children (in queue order), viewed, list page, load, changes, news. Each
// kind was queued in the opposite order, so arrival cannot explain the order.
TEST_F(EngineRules, next_step_takes_the_work_in_its_priority_order)
{
    Task unread = known_task(13, 10, 10);
    unread.unread = true;
    Task folder_a = known_task(14, 10, 10);
    folder_a.childrenPending = true;
    Task folder_b = known_task(15, 10, 10);
    folder_b.childrenPending = true;
    start({ known_task(11, 10, 10), known_task(12, 10, 10), unread, folder_a, folder_b,
        known_task(16, 10, 10), known_task(17, 10, 10) });

    engine.request_news();
    engine.retry();
    ASSERT_EQ(engine.pending_key(), u"getFilteredNews");
    engine.more_changes(17);
    engine.load_task(16);
    engine.refresh_list();
    engine.open_task(13);
    engine.open_folder(15);
    engine.open_folder(14);
    (void)engine.user_name(99);
    engine.change_permission(10, u"bob@x", 2);
    engine.delete_task(12);
    engine.save_task(*engine.find_task(11), u"why");
    FilteredNews quiet = news_at(43);
    answer([&](ReplyWriter& w) { quiet.save(w); });

    auto empty_tasks = [](ReplyWriter& w) { save_vector(w, std::vector<VizTask> {}); };
    struct Step {
        const char16_t* key;
        std::function<void(ReplyWriter&)> reply;
    };
    // The user's changes come first, in the order they were made, whatever their kind.
    const Step steps[] = {
        { u"changePermission", [](ReplyWriter& w) { write_flag(w, true); } },
        { u"deleteTask", [](ReplyWriter& w) { write_flag(w, true); } },
        { u"updateTask", [&](ReplyWriter& w) { incoming(11, 10, 10, 0).save(w); } },
        { u"getUsers",
            [](ReplyWriter& w) {
                save_vector(w, std::vector { User { u"b", 99, u"B" } });
            } },
        { u"getFilteredChildren", empty_tasks },
        { u"getFilteredChildren", empty_tasks },
        { u"setViewed", [](ReplyWriter& w) { write_nothing(w); } },
        { u"getFilteredList", [](ReplyWriter& w) { VizList {}.save(w); } },
        { u"loadTask", empty_tasks },
        { u"getChanges", [](ReplyWriter& w) { save_vector(w, std::vector<Change> {}); } },
        { u"getFilteredNews", [&](ReplyWriter& w) { quiet.save(w); } },
    };
    for (std::size_t call = 0; call < std::size(steps); ++call) {
        ASSERT_EQ(engine.pending_key(), steps[call].key) << "call " << call;
        // The children requests leave in the order the folders were opened, not by id.
        if (call == 5) {
            EXPECT_FALSE(engine.find_task(15)->childrenPending);
            EXPECT_TRUE(engine.find_task(14)->childrenPending);
        }
        answer(steps[call].reply);
    }
    EXPECT_FALSE(engine.is_busy());
    EXPECT_EQ(engine.pending_key(), u"");
    EXPECT_EQ(engine.auth().newsCursor, 43);
}

// Logged out, the stored login key logs in again; without one the engine rests.
TEST_F(EngineRules, logged_out_the_login_key_is_the_only_step)
{
    EngineCache cache;
    cache.loginKey = u"key";
    ASSERT_EQ(test::load_cache(engine, cache), Engine::CacheLoad::Loaded);
    engine.load_task(5); // work for a logged-in user waits
    EXPECT_EQ(engine.pending_key(), u"authenticate");
    EXPECT_TRUE(engine.is_busy());
    engine.logout();
    engine.retry();
    EXPECT_EQ(engine.pending_key(), u"");
    EXPECT_FALSE(engine.is_busy());
}

// While more pages may follow, a task from the main lists is listed only when it sorts at or
// before the cursor (it would otherwise come with a later page), and the cursor stays. A page
// lists its tasks and moves the cursor to the last; once the list is complete, a main-list task
// sorting after the cursor is listed and becomes the cursor. Tasks of other projects and
// projects themselves are never listed.
TEST_F(EngineRules, listing_and_the_cursor)
{
    start({});
    // Without a cursor nothing from news is listed yet.
    news(news_at(43, { incoming(20, 10, 10, 5'000) }));
    EXPECT_FALSE(listed(20));
    EXPECT_EQ(engine.list_cursor().id, 0);

    // A full page (25): newer dates sort first, so the last one (date 1,000) is the cursor.
    std::vector<VizTask> full;
    for (std::int32_t i = 0; i < 25; ++i)
        full.push_back(incoming(100 + i, 10, 10, 3'400 - 100 * i));
    page({}, full);
    EXPECT_TRUE(engine.more_pages());
    EXPECT_EQ(engine.list_cursor().id, 124);
    EXPECT_TRUE(listed(100) && listed(124));

    news(news_at(44,
        { incoming(21, 10, 10, 2'000), incoming(22, 10, 10, 999), incoming(23, 30, 30, 2'000),
            incoming(24, 0, 24, 2'000) }));
    EXPECT_TRUE(listed(21)) << "sorts before the cursor";
    EXPECT_FALSE(listed(22)) << "sorts after the cursor: a later page brings it";
    EXPECT_FALSE(listed(23)) << "another project";
    EXPECT_FALSE(listed(24)) << "a project has no parent";
    EXPECT_EQ(engine.list_cursor().id, 124);

    // A short page ends the list; its last task is the cursor.
    page({}, { incoming(22, 10, 10, 999), incoming(25, 10, 10, 900) });
    EXPECT_FALSE(engine.more_pages());
    EXPECT_EQ(engine.list_cursor().id, 25);
    news(news_at(45, { incoming(26, 10, 10, 800), incoming(27, 10, 10, 3'000) }));
    EXPECT_TRUE(listed(26) && listed(27));
    EXPECT_EQ(engine.list_cursor().id, 26);
}

// Changed ids: a task whose parent chain reaches the root is announced; a listed task under a
// parent the client does not know is fetched instead, and one that is neither is left alone.
// A task that moves leaves its old parent's children for the new one's, and both parents are
// announced; the root counts its projects.
TEST_F(EngineRules, changed_ids_parents_and_unknown_parents)
{
    start({ known_task(11, 10, 10) });
    page({}, { incoming(11, 10, 10, 1'000) });
    ASSERT_EQ(engine.list_cursor().id, 11);
    listener.clear();

    news(news_at(50, { incoming(30, 500, 10, 500), incoming(31, 501, 40, 500) }));
    EXPECT_TRUE(listed(30));
    EXPECT_FALSE(engine.is_attached(30));
    EXPECT_EQ(listener.changed, std::vector<std::int32_t> {}) << "nothing attached changed";
    // The listed orphan is fetched; the other one (not listed) is not.
    EXPECT_EQ(engine.pending_key(), u"loadTask");
    answer([](ReplyWriter& w) { save_vector(w, std::vector<VizTask> {}); });
    EXPECT_FALSE(engine.is_busy());

    // Task 11 becomes a project of its own.
    std::int32_t projects = engine.find_task(0)->childCount;
    listener.clear();
    news(news_at(51, { incoming(11, 0, 11, 1'000) }));
    EXPECT_EQ(engine.find_task(10)->childIds, std::vector<std::int32_t> {});
    const std::vector<std::int32_t>& top = engine.find_task(0)->childIds;
    EXPECT_NE(std::find(top.begin(), top.end(), 11), top.end());
    EXPECT_EQ(engine.find_task(0)->childCount, projects + 1);
    EXPECT_EQ(listener.changed, (std::vector<std::int32_t> { 0, 10, 11 }));
}

// News with every list empty only moves the cursor and the stamp; news holding only a cleared
// id zeroes that task's unread count; seen ids, task states and removals change what they name.
TEST_F(EngineRules, news_replies)
{
    Task counted = known_task(11, 10, 10);
    counted.unreadCount = 4;
    counted.unread = true;
    Task other = known_task(12, 10, 10);
    other.unreadCount = 2;
    Task child = known_task(13, 12, 10);
    other.childIds = { 13 };
    Task tagged = known_task(20, 0, 20);
    tagged.tag = u"home";
    start({ counted, other, child, tagged });
    ASSERT_EQ(engine.tags(), std::vector<WString> { u"home" });

    FilteredNews quiet = news_at(60);
    quiet.stamp = 61;
    auto tasks = [&] {
        std::vector<Task> all;
        for (const auto& t : engine.tasks())
            all.push_back(*t);
        return all;
    };
    std::vector<Task> before = tasks();
    news(quiet);
    EXPECT_EQ(engine.auth().newsCursor, 60);
    EXPECT_EQ(engine.auth().newsStamp, 61);
    EXPECT_EQ(tasks(), before);
    EXPECT_TRUE(listener.changed.empty());
    EXPECT_EQ(listener.users_changed + listener.tags_changed, 0);
    EXPECT_FALSE(engine.is_busy()) << "the news request was cleared";

    FilteredNews cleared = news_at(62);
    cleared.stamp = 63;
    cleared.cleared = { 11 };
    news(cleared);
    EXPECT_EQ(engine.find_task(11)->unreadCount, 0);
    EXPECT_TRUE(engine.find_task(11)->unread) << "only the count is cleared";
    EXPECT_EQ(engine.find_task(12)->unreadCount, 2);
    EXPECT_EQ(listener.changed, std::vector<std::int32_t> { 11 });
    EXPECT_EQ(engine.auth().newsCursor, 62);

    listener.clear();
    FilteredNews mixed = news_at(64);
    mixed.seen = { 11 };
    mixed.taskStates = { 12, 9, 0, 1 };
    mixed.removed = { 20 };
    news(mixed);
    EXPECT_FALSE(engine.find_task(11)->unread);
    EXPECT_EQ(engine.find_task(12)->unreadCount, 9);
    EXPECT_FALSE(engine.find_task(12)->editable);
    EXPECT_TRUE(engine.find_task(12)->marked);
    EXPECT_EQ(engine.find_task(20)->parentId, -1);
    EXPECT_EQ(listener.removed, std::vector<std::int32_t> { 20 });
    EXPECT_TRUE(engine.tags().empty());

    // A removed task takes its loaded sub-tasks with it.
    listener.clear();
    FilteredNews subtree = news_at(65);
    subtree.removed = { 12 };
    news(subtree);
    EXPECT_EQ(listener.removed, (std::vector<std::int32_t> { 12, 13 }));
    EXPECT_FALSE(engine.is_attached(13));
    EXPECT_EQ(engine.find_task(10)->childIds, std::vector<std::int32_t> { 11 });
}
