#include "common/records/AuthInfo.h"
#include "common/records/FilteredNews.h"
#include "common/records/VIZException.h"
#include "common/records/VizList.h"
#include "common/wire/ReplyWriter.h"
#include "common/wire/RequestReader.h"
#include "device/model/EngineCache.h"
#include "device/rpc/ReplyReader.h"
#include "device/rpc/RequesterServer.h"

#include <gtest/gtest.h>

using namespace corvane;

namespace {

// Writes the record as a reply (the cache's form), encodes it, parses it and reads it back.
template<typename Record> Record through_reply(const Record& record)
{
    ReplyWriter writer;
    record.save(writer);
    std::string bytes;
    writer.finish_utf8(bytes);
    ReplyReader reader;
    Record read;
    EXPECT_TRUE(reader.parse(bytes));
    EXPECT_TRUE(read.load(reader));
    EXPECT_EQ(reader.remaining(), 0u);
    return read;
}

// Writes the record into a request and reads it as the service would.
template<typename Record> Record through_request(const Record& record)
{
    RequesterServer writer;
    record.save(writer);
    std::string bytes;
    EXPECT_TRUE(writer.finish(bytes));
    RequestReader reader;
    Record read;
    EXPECT_TRUE(reader.parse(bytes));
    EXPECT_TRUE(read.load(reader));
    EXPECT_TRUE(reader.is_complete());
    return read;
}

Change sample_change(std::int32_t id)
{
    // Every field differs from the others, so two fields read in each other's place show.
    return Change { .kind = Change::kind_shared,
        .text = u"comment \"quoted\", with \\ and\r\nlines",
        .complete = 60,
        .deadline = 1735689600000,
        .flag = true,
        .doneDelta = -2,
        .planDelta = 5,
        .changeId = id,
        .value4 = 9,
        .title = u"New title",
        .responsibleId = 41,
        .status = 3,
        .time = -62135596800000,
        .userId = 17,
        .authorId = 18 };
}

VizTask sample_task(std::int32_t id)
{
    VizTask task;
    task.ownerId = 7;
    task.editable = false;
    task.value1 = -1;
    task.value2 = 2147483647;
    task.complete = true;
    task.date = 1735689600123;
    task.value3 = -2147483647 - 1;
    task.deadline = -1;
    task.done = 12;
    task.plan = 40;
    task.childCount = 3;
    task.unreadCount = 2;
    task.id = id;
    task.marked = true;
    task.unread = true;
    task.title = u"Задача " + to_wstring(id) + u"\r\nОписание, \"с\" кавычками \U0001F600";
    task.parentId = 0;
    task.permissions = { Permission { 3, u"owner@x", 7 }, Permission { 2, u"invited@x", 0 } };
    task.projectId = id;
    task.responsibleId = 7;
    task.status = 5;
    task.tag = u"work";
    return task;
}

Task sample_cached_task(std::int32_t id)
{
    Task task;
    static_cast<VizTask&>(task) = sample_task(id);
    task.childIds = { id + 1, id + 2 };
    task.childrenPending = false;
    task.listed = true;
    task.matchesFilter = true;
    return task;
}

} // namespace

TEST(RecordRoundTrip, small_records)
{
    AuthInfo auth {
        .newsCursor = 120, .session = u"3f2a", .userId = 7, .serverVersion = u"6", .newsStamp = -4
    };
    EXPECT_EQ(through_reply(auth), auth);
    EXPECT_EQ(through_request(auth), auth);
    User user { u"ann@example.org", 12, u"Ann \"the\" Admin" };
    EXPECT_EQ(through_reply(user), user);
    EXPECT_EQ(through_request(user), user);
    Permission permission { 2, u"bob@example.org", 0 };
    EXPECT_EQ(through_reply(permission), permission);
    EXPECT_EQ(through_request(permission), permission);
    VIZException exception { u"ERROR_NOT_SUPPORTED" };
    EXPECT_EQ(through_reply(exception), exception);
    Change change = sample_change(1234);
    EXPECT_EQ(through_reply(change), change);
    EXPECT_EQ(through_request(change), change);
    Filter filter;
    filter.statuses[0] = false;
    filter.statuses[5] = false;
    filter.option = false;
    filter.responsible = 42;
    EXPECT_EQ(through_reply(filter), filter);
    EXPECT_EQ(through_request(filter), filter);
}

// The client never writes a task's changes or string list; everything else comes back.
TEST(RecordRoundTrip, task_keeps_everything_the_client_writes)
{
    VizTask task = sample_task(31);
    EXPECT_EQ(through_reply(task), task);
    EXPECT_EQ(through_request(task), task);
    task.changes = { sample_change(5), sample_change(4) };
    task.stringList = { u"x" };
    VizTask read = through_reply(task);
    EXPECT_TRUE(read.changes.empty());
    EXPECT_TRUE(read.stringList.empty());
}

TEST(RecordRoundTrip, news_and_list_with_changes)
{
    FilteredNews news;
    news.tasks = { sample_task(1), sample_task(2) };
    news.tasks[1].changes = { sample_change(9), sample_change(8) };
    news.cursor = 9000;
    news.taskStates = { 1, 0, 1, 1, 2, 5, 0, 0 };
    news.removed = { 3, 4 };
    news.users = { User { u"a@x", 1, u"A" }, User { u"b@x", 2, u"" } };
    news.seen = { 1 };
    news.cleared = { 2 };
    news.stamp = 17;
    EXPECT_EQ(through_reply(news), news);
    EXPECT_FALSE(news.is_idle());
    EXPECT_TRUE(FilteredNews {}.is_idle());

    VizList list;
    list.mainList = { sample_task(10) };
    list.secondList = { sample_task(11), sample_task(12), sample_task(13) };
    EXPECT_EQ(through_reply(list), list);
}

// The whole cache: the cached fields come back, the history that is not cached does not.
TEST(RecordRoundTrip, engine_cache)
{
    EngineCache cache;
    cache.auth = AuthInfo { 500, u"session-key", 7, u"6", 3 };
    cache.loginKey = u"login-key";
    for (std::int32_t id = 0; id < 40; ++id)
        cache.tasks.push_back(sample_cached_task(id));
    cache.tasks[3].loadedChanges = { sample_change(1) };
    cache.tasks[3].moreChanges = false;
    cache.listCursor = sample_cached_task(39);
    cache.users = { User { u"a@x", 1, u"A" }, User { u"b@x", 7, u"B" } };
    cache.filter.statuses[2] = false;
    cache.filter.responsible = 1;
    cache.listProject = 5;
    cache.morePages = false;

    EngineCache read = through_reply(cache);
    EXPECT_TRUE(read.tasks[3].loadedChanges.empty());
    EXPECT_TRUE(read.tasks[3].moreChanges);
    cache.tasks[3].loadedChanges.clear();
    cache.tasks[3].moreChanges = true;
    EXPECT_EQ(read, cache);
}
