#include "common/wire/ReplyWriter.h"
#include "common/wire/RpcWriter.h"
#include "common/wire/WireText.h"
#include "common/wire/testing/RecordingWriter.h"
#include "device/model/EngineCache.h"
#include "device/rpc/ReplyReader.h"

#include <gtest/gtest.h>

using namespace corvane;
using Entries = std::vector<WString>;
using corvane::test::RecordingWriter;

namespace {

Task cached_task(std::int32_t id)
{
    Task task;
    task.id = id;
    task.ownerId = 7;
    task.complete = true;
    task.date = 1735689600123 + id;
    task.deadline = -1;
    task.done = 12;
    task.title = u"Задача " + to_wstring(id) + u"\r\n\"quoted\", \\ \U0001F600";
    task.permissions = { Permission { 3, u"owner@x", 7 } };
    task.tag = u"work";
    task.childIds = { id + 1, id + 2 };
    task.childrenPending = false;
    task.listed = true;
    task.matchesFilter = true;
    return task;
}

} // namespace

// The cache file holds everything but a task's loaded history, which is fetched again. Its
// layout: the session and login key first, the filter, project and paging last.
TEST(EngineCacheRecord, round_trip_and_layout)
{
    EngineCache cache;
    cache.auth = AuthInfo { 500, u"session-key", 7, u"6", 3 };
    cache.loginKey = u"login-key";
    for (std::int32_t id = 0; id < 40; ++id)
        cache.tasks.push_back(cached_task(id));
    cache.tasks[3].loadedChanges.resize(1);
    cache.tasks[3].loadedChanges[0].changeId = 1;
    cache.tasks[3].moreChanges = false;
    cache.listCursor = cached_task(39);
    cache.users = { User { u"a@x", 1, u"A" }, User { u"b@x", 7, u"B" } };
    cache.filter.statuses[2] = false;
    cache.filter.responsible = 1;
    cache.listProject = 5;
    cache.morePages = false;

    ReplyWriter writer;
    cache.save(writer);
    std::string bytes;
    writer.finish_utf8(bytes);
    ReplyReader reader;
    ASSERT_TRUE(reader.parse(bytes));
    EngineCache read;
    ASSERT_TRUE(read.load(reader));
    EXPECT_EQ(reader.remaining(), 0u);
    EXPECT_TRUE(read.tasks[3].loadedChanges.empty());
    EXPECT_TRUE(read.tasks[3].moreChanges);
    cache.tasks[3].loadedChanges.clear();
    cache.tasks[3].moreChanges = true;
    EXPECT_EQ(read, cache);

    EngineCache small;
    small.loginKey = u"key";
    small.listProject = 12;
    small.morePages = false;
    RecordingWriter recorded;
    small.save(recorded);
    const WString vector_sig = u"s:java.util.Vector/3125574444";
    const Entries head { u"s:com.ulmar.viz.client.cpp.Engine/4",
        u"s:com.ulmar.viz.client.AuthInfo/1749066765", u"i:0", u"s:", u"i:0", u"s:", u"i:0",
        u"s:key", vector_sig, u"i:0", u"s:com.ulmar.viz.client.cpp.Task/3" };
    const Entries tail { vector_sig, u"i:0", u"s:com.ulmar.viz.client.Filter/317688809", u"i:1",
        u"s:[Z/1413617015", u"i:6", u"i:1", u"i:1", u"i:1", u"i:1", u"i:1", u"i:1", u"i:1", u"i:-1",
        u"i:12", u"i:0" };
    const Entries& all = recorded.entries;
    ASSERT_GT(all.size(), head.size() + tail.size());
    EXPECT_EQ(Entries(all.begin(), all.begin() + head.size()), head);
    EXPECT_EQ(Entries(all.end() - tail.size(), all.end()), tail);
}
