#include "common/records/AuthInfo.h"
#include "common/records/Filter.h"
#include "common/records/FilteredNews.h"
#include "common/records/Task.h"
#include "common/records/User.h"
#include "common/records/VIZException.h"
#include "common/records/VizList.h"
#include "common/wire/ReplyWriter.h"
#include "common/wire/RequestReader.h"
#include "common/wire/RpcWriter.h"
#include "common/wire/WireText.h"
#include "common/wire/testing/RecordingWriter.h"
#include "device/rpc/ReplyReader.h"
#include "device/rpc/RequesterServer.h"

#include <gtest/gtest.h>

using namespace corvane;
using Entries = std::vector<WString>;
using corvane::test::RecordingWriter;

namespace {

template<typename Record> Entries written(const Record& record)
{
    RecordingWriter writer;
    record.save(writer);
    return writer.entries;
}

const WString vector_sig = u"s:java.util.Vector/3125574444";
const WString long_sig = u"s:java.lang.Long/4227064769";
const WString integer_sig = u"s:java.lang.Integer/3438268394";

// In these two records every field holds a different value, so that two swapped fields cannot
// go unnoticed, with the extremes of each width and a title that needs escaping.
VizTask numbered_task(std::int32_t id = 114)
{
    VizTask task;
    task.ownerId = 101;
    task.editable = false;
    task.value1 = 104;
    task.value2 = 2147483647;
    task.complete = true;
    task.date = 0x107;
    task.value3 = -2147483647 - 1;
    task.deadline = -0x109;
    task.done = 110;
    task.plan = 111;
    task.childCount = 112;
    task.unreadCount = 113;
    task.id = id;
    task.marked = true;
    task.title = u"t118 \"Задача\"\r\n\U0001F600";
    task.parentId = 119;
    task.permissions = { Permission { 2, u"p@x", 120 }, Permission { 3, u"o@x", 125 } };
    task.projectId = 121;
    task.responsibleId = 122;
    task.status = 3;
    task.tag = u"t124";
    return task;
}

Change sample_change(std::int32_t id)
{
    return Change { Change::kind_shared, u"comment \"quoted\", with \\ and\r\nlines", 60,
        1735689600000, true, -2, 5, id, 9, u"New title", 41, 3, -62135596800000, 17, 18 };
}

// The changes (third slot) and the string list are always null from the client.
const WString permission_sig = u"s:com.ulmar.viz.client.Permission/169400797";
const Entries numbered_task_entries { u"s:com.ulmar.viz.client.VizTask/2697914237", u"i:101",
    u"i:0", u"i:0", u"i:104", u"i:2147483647", u"i:1", long_sig, u"l:107", u"i:-2147483648",
    long_sig, u"l:fffffffffffffef7", u"i:110", u"i:111", u"i:112", u"i:113", u"i:114", u"i:1",
    u"i:0", u"i:0", u"s:t118 \"Задача\"\r\n\U0001F600", u"i:119", vector_sig, u"i:2",
    permission_sig, u"i:2", u"s:p@x", u"i:120", permission_sig, u"i:3", u"s:o@x", u"i:125",
    u"i:121", u"i:122", u"i:3", u"s:t124" };

Entries concat(std::initializer_list<Entries> parts)
{
    Entries all;
    for (const Entries& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// Writes the record as a reply (the cache's form) and reads it back; with `request` also
// writes it into a request and checks that the service reads the same.
template<typename Record> Record round_trip(const Record& record, bool request = true)
{
    ReplyWriter reply;
    record.save(reply);
    std::string text;
    reply.finish_utf8(text);
    ReplyReader reader;
    Record read;
    EXPECT_TRUE(reader.parse(text));
    EXPECT_TRUE(read.load(reader));
    EXPECT_EQ(reader.remaining(), 0u);
    if (request) {
        RequesterServer writer;
        record.save(writer);
        std::string bytes;
        EXPECT_TRUE(writer.finish(bytes));
        RequestReader service;
        Record served;
        EXPECT_TRUE(service.parse(bytes));
        EXPECT_TRUE(served.load(service));
        EXPECT_TRUE(service.is_complete());
        EXPECT_EQ(served, read);
    }
    return read;
}

} // namespace

TEST(RecordWireOrder, auth_info_user_permission_exception)
{
    EXPECT_EQ(written(AuthInfo { 120, u"s1", 7, u"6", 4 }),
        (Entries { u"s:com.ulmar.viz.client.AuthInfo/1749066765", u"i:120", u"s:s1", u"i:7", u"s:6",
            u"i:4" }));
    EXPECT_EQ(written(User { u"a@b", 9, u"Ann" }),
        (Entries { u"s:com.ulmar.viz.client.User/1322923742", u"s:a@b", u"i:9", u"s:Ann" }));
    EXPECT_EQ(written(Permission { 2, u"e@x", 0 }),
        (Entries { u"s:com.ulmar.viz.client.Permission/169400797", u"i:2", u"s:e@x", u"i:0" }));
    EXPECT_EQ(written(VIZException { u"NOT_LOGGED" }),
        (Entries { u"s:com.ulmar.viz.client.VIZException/1576971601", u"s:NOT_LOGGED" }));
}

// A Long of 0 is a null reference; any other value is the Long object.
TEST(RecordWireOrder, change_with_null_and_present_longs)
{
    Change change { 4, u"c", 3, 0, true, 6, 7, 8, 9, u"t", 11, 12, -0x10d, 14, 15 };
    EXPECT_EQ(written(change),
        (Entries { u"s:com.ulmar.viz.client.Change/1784753330", u"i:4", u"s:c", u"i:3", u"i:0",
            u"i:1", u"i:6", u"i:7", u"i:8", u"i:9", u"s:t", u"i:11", u"i:12", long_sig,
            u"l:fffffffffffffef3", u"i:14", u"i:15" }));
}

// The client never writes a task's changes (the third slot) or its string list.
TEST(RecordWireOrder, task_fields_in_their_order)
{
    VizTask task = numbered_task();
    task.changes.push_back(Change {});
    task.stringList = { u"never written" };
    EXPECT_EQ(written(task), numbered_task_entries);

    // Asked for, the changes take the third slot as a vector.
    RecordingWriter writer;
    task.changes.front().kind = 5;
    task.save(writer, TaskChangesForm::Written);
    ASSERT_GT(writer.entries.size(), 8u);
    EXPECT_EQ(Entries(writer.entries.begin() + 3, writer.entries.begin() + 7),
        (Entries { vector_sig, u"i:1", u"s:com.ulmar.viz.client.Change/1784753330", u"i:5" }));

    // The cached task is the service's task as a nested object, then the client's fields.
    Task cached;
    static_cast<VizTask&>(cached) = numbered_task();
    cached.childIds = { 5, 6 };
    cached.childrenPending = false;
    cached.listed = true;
    cached.changes.push_back(Change {});
    cached.loadedChanges.push_back(Change {});
    EXPECT_EQ(written(cached),
        concat({ { u"s:com.ulmar.viz.client.cpp.Task/3" }, numbered_task_entries,
            { vector_sig, u"i:2", integer_sig, u"i:5", integer_sig, u"i:6", u"i:0", u"i:1",
                u"i:0" } }));
}

TEST(RecordWireOrder, filter_list_and_news)
{
    Filter filter;
    filter.enabled = false;
    filter.statuses = { true, false, true };
    filter.responsible = 8;
    EXPECT_EQ(written(filter),
        (Entries { u"s:com.ulmar.viz.client.Filter/317688809", u"i:0", u"s:[Z/1413617015", u"i:3",
            u"i:1", u"i:0", u"i:1", u"i:1", u"i:8" }));

    VizList list;
    list.secondList.push_back(numbered_task());
    EXPECT_EQ(written(list),
        concat({ { u"s:com.ulmar.viz.client.VizList/2886386532", vector_sig, u"i:0", vector_sig,
                     u"i:1" },
            numbered_task_entries }));

    FilteredNews news;
    news.cursor = 50;
    news.taskStates = { 1, 2, 1, 0 };
    news.removed = { 3 };
    news.users.push_back(User { u"u", 4, u"" });
    news.cleared = { 7 };
    news.stamp = 60;
    EXPECT_EQ(written(news),
        (Entries { u"s:com.ulmar.viz.client.FilteredNews/3460851421", vector_sig, u"i:0", u"i:50",
            vector_sig, u"i:4", integer_sig, u"i:1", integer_sig, u"i:2", integer_sig, u"i:1",
            integer_sig, u"i:0", vector_sig, u"i:1", integer_sig, u"i:3", vector_sig, u"i:1",
            u"s:com.ulmar.viz.client.User/1322923742", u"s:u", u"i:4", u"s:", vector_sig, u"i:0",
            vector_sig, u"i:1", integer_sig, u"i:7", u"i:60" }));
}

// Every record comes back from the reply form (the cache's) and from the request form.
TEST(RecordRoundTrip, every_record_comes_back)
{
    AuthInfo auth { 120, u"3f2a", 7, u"6", -4 };
    EXPECT_EQ(round_trip(auth), auth);
    User user { u"ann@example.org", 12, u"Ann \"the\" Admin" };
    EXPECT_EQ(round_trip(user), user);
    Permission permission { 2, u"bob@example.org", 0 };
    EXPECT_EQ(round_trip(permission), permission);
    VIZException exception { u"ERROR_NOT_SUPPORTED" };
    EXPECT_EQ(round_trip(exception, false), exception);
    Change change = sample_change(1234);
    EXPECT_EQ(round_trip(change), change);
    Filter filter;
    filter.statuses[0] = filter.statuses[5] = filter.option = false;
    filter.responsible = 42;
    EXPECT_EQ(round_trip(filter), filter);

    // News and lists carry whole tasks, changes included.
    FilteredNews news;
    news.tasks = { numbered_task(1), numbered_task(2) };
    news.tasks[1].changes = { sample_change(9), sample_change(8) };
    news.cursor = 9000;
    news.taskStates = { 1, 0, 1, 1, 2, 5, 0, 0 };
    news.removed = { 3, 4 };
    news.users = { User { u"a@x", 1, u"A" }, User { u"b@x", 2, u"" } };
    news.seen = { 1 };
    news.cleared = { 2 };
    news.stamp = 17;
    EXPECT_EQ(round_trip(news, false), news);
    EXPECT_FALSE(news.is_idle());
    EXPECT_TRUE(FilteredNews {}.is_idle());

    VizList list;
    list.mainList = { numbered_task(10) };
    list.secondList = { numbered_task(11), numbered_task(12), numbered_task(13) };
    EXPECT_EQ(round_trip(list, false), list);
}

// The client never writes a task's changes or string list, nor caches a task's loaded history;
// everything else comes back.
TEST(RecordRoundTrip, task_keeps_everything_the_client_writes)
{
    VizTask task = numbered_task(31);
    EXPECT_EQ(round_trip(task), task);
    task.changes = { sample_change(5), sample_change(4) };
    task.stringList = { u"x" };
    VizTask read = round_trip(task, false);
    task.changes.clear();
    task.stringList.clear();
    EXPECT_EQ(read, task);

    Task cached;
    static_cast<VizTask&>(cached) = numbered_task(3);
    cached.childIds = { 4, 5 };
    cached.childrenPending = false;
    cached.listed = cached.matchesFilter = true;
    cached.loadedChanges = { sample_change(1) };
    cached.moreChanges = false;
    Task back = round_trip(cached, false);
    cached.loadedChanges.clear();
    cached.moreChanges = true;
    EXPECT_EQ(back, cached);
}
