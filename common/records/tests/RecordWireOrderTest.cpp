#include "common/records/AuthInfo.h"
#include "common/records/Filter.h"
#include "common/records/FilteredNews.h"
#include "common/records/Task.h"
#include "common/records/VIZException.h"
#include "common/records/VizList.h"
#include "common/wire/RpcWriter.h"
#include "common/wire/WireText.h"
#include "common/wire/testing/RecordingWriter.h"

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

// Every field holds a different value so that two swapped fields cannot go unnoticed.
VizTask numbered_task()
{
    VizTask task;
    task.ownerId = 101;
    task.editable = false;
    task.changes.push_back(Change {});
    task.value1 = 104;
    task.value2 = 105;
    task.complete = true;
    task.date = 0x107;
    task.value3 = 108;
    task.deadline = 0x109;
    task.done = 110;
    task.plan = 111;
    task.childCount = 112;
    task.unreadCount = 113;
    task.id = 114;
    task.marked = true;
    task.stringList.push_back(u"never written");
    task.title = u"t118";
    task.parentId = 119;
    task.permissions.push_back(Permission { 2, u"p@x", 120 });
    task.projectId = 121;
    task.responsibleId = 122;
    task.status = 3;
    task.tag = u"t124";
    return task;
}

// The changes (third slot) and the string list are always null from the client.
const Entries numbered_task_entries { u"s:com.ulmar.viz.client.VizTask/2697914237", u"i:101",
    u"i:0", u"i:0", u"i:104", u"i:105", u"i:1", long_sig, u"l:107", u"i:108", long_sig, u"l:109",
    u"i:110", u"i:111", u"i:112", u"i:113", u"i:114", u"i:1", u"i:0", u"i:0", u"s:t118", u"i:119",
    vector_sig, u"i:1", u"s:com.ulmar.viz.client.Permission/169400797", u"i:2", u"s:p@x", u"i:120",
    u"i:121", u"i:122", u"i:3", u"s:t124" };

Entries concat(std::initializer_list<Entries> parts)
{
    Entries all;
    for (const Entries& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
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

TEST(RecordWireOrder, task_fields_in_their_order)
{
    EXPECT_EQ(written(numbered_task()), numbered_task_entries);

    // Asked for, the changes take the third slot as a vector.
    RecordingWriter writer;
    VizTask task = numbered_task();
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
