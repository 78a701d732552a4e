#include "common/records/AuthInfo.h"
#include "common/records/FilteredNews.h"
#include "common/records/VizList.h"
#include "common/records/WireValues.h"
#include "common/wire/ReplyWriter.h"
#include "device/model/EngineCache.h"
#include "device/rpc/ReplyReader.h"

#include <gtest/gtest.h>

#include <functional>

using namespace corvane;

namespace {

// Builds a reply from the values a writer saves and parses it into `reader`.
void make_reply(ReplyReader& reader, const std::function<void(ReplyWriter&)>& save)
{
    ReplyWriter writer;
    save(writer);
    std::string bytes;
    writer.finish_utf8(bytes);
    ASSERT_TRUE(reader.parse(bytes));
}

} // namespace

// A null object reads successfully and leaves the record as it was.
TEST(RecordRead, null_objects_keep_the_record)
{
    ReplyReader reader;
    make_reply(reader, [](ReplyWriter& writer) { save_null(writer); });
    AuthInfo auth { 1, u"s", 2, u"6", 3 };
    EXPECT_TRUE(auth.load(reader));
    EXPECT_EQ(auth, (AuthInfo { 1, u"s", 2, u"6", 3 }));

    // A null vector reads as empty; a null element is a record with its defaults.
    make_reply(reader, [](ReplyWriter& writer) {
        save_null(writer);
        writer.save_string(vector_signature);
        writer.save_int(2);
        save_null(writer);
        User { u"u", 5, u"" }.save(writer);
    });
    std::vector<User> users { User {} };
    ASSERT_TRUE(load_vector(reader, users));
    EXPECT_TRUE(users.empty());
    ASSERT_TRUE(load_vector(reader, users));
    EXPECT_EQ(users, (std::vector<User> { User {}, User { u"u", 5, u"" } }));
}

// Any other signature fails the record, wherever it sits.
TEST(RecordRead, wrong_signatures_fail)
{
    ReplyReader reader;
    make_reply(reader, [](ReplyWriter& writer) { User { u"u", 1, u"" }.save(writer); });
    VizTask task;
    EXPECT_FALSE(task.load(reader));

    // A Long slot holding something else.
    make_reply(reader, [](ReplyWriter& writer) {
        writer.save_string(Change::signature);
        writer.save_int(4);
        writer.save_string(u"text");
        writer.save_int(1);
        writer.save_string(integer_signature);
        writer.save_int(5);
    });
    Change change;
    EXPECT_FALSE(change.load(reader));

    // The cache of an older client version does not read.
    EngineCache cache;
    make_reply(reader, [&](ReplyWriter& writer) { EngineCache {}.save(writer); });
    EXPECT_TRUE(cache.load(reader));
    ReplyWriter writer;
    EngineCache {}.save(writer);
    WString text;
    writer.finish(text);
    std::size_t at = text.find(u"cpp.Engine/4");
    ASSERT_NE(at, WString::npos);
    text[at + 11] = u'3';
    ASSERT_TRUE(reader.parse_text(text));
    EXPECT_FALSE(cache.load(reader));
}

// The client's filter array keeps its size: extra elements are consumed and dropped, so the
// fields after the array still read correctly.
TEST(RecordRead, filter_array_is_never_resized)
{
    ReplyReader reader;
    make_reply(reader, [](ReplyWriter& writer) {
        Filter wide;
        wide.statuses = { false, true, false, false, false };
        wide.option = false;
        wide.responsible = 9;
        wide.save(writer);
    });
    Filter filter;
    filter.statuses = { true, true, true };
    ASSERT_TRUE(filter.load(reader));
    EXPECT_EQ(filter.statuses, (std::vector<bool> { false, true, false }));
    EXPECT_FALSE(filter.option);
    EXPECT_EQ(filter.responsible, 9);
    EXPECT_EQ(reader.remaining(), 0u);

    // A shorter array leaves the rest as it was.
    make_reply(reader, [](ReplyWriter& writer) {
        Filter narrow;
        narrow.statuses = { false };
        narrow.save(writer);
    });
    Filter full;
    ASSERT_TRUE(full.load(reader));
    EXPECT_EQ(full.statuses, (std::vector<bool> { false, true, true, true, true, true }));

    // The service takes the array as sent.
    make_reply(reader, [](ReplyWriter& writer) {
        Filter sent;
        sent.statuses = { false, true, false, true, false, true, false, true };
        sent.save(writer);
    });
    Filter taken;
    ASSERT_TRUE(taken.load(reader, StatusArrayFit::TakeSent));
    EXPECT_EQ(
        taken.statuses, (std::vector<bool> { false, true, false, true, false, true, false, true }));
}

// Counts that the remaining values cannot hold fail at once instead of allocating for them.
TEST(RecordRead, impossible_counts_fail)
{
    ReplyReader reader;
    for (std::int32_t count : { 2000000000, -1, 4 }) {
        make_reply(reader, [count](ReplyWriter& writer) {
            writer.save_string(vector_signature);
            writer.save_int(count);
            save_null(writer);
            save_null(writer);
            save_null(writer);
        });
        std::vector<VizTask> tasks;
        EXPECT_FALSE(load_vector(reader, tasks)) << count;
    }
    make_reply(reader, [](ReplyWriter& writer) {
        writer.save_string(boolean_array_signature);
        writer.save_int(1000000);
        writer.save_int(1);
    });
    std::vector<bool> flags(6, true);
    EXPECT_FALSE(load_bool_array_into(reader, flags));
    EXPECT_EQ(flags, std::vector<bool>(6, true));
    make_reply(reader, [](ReplyWriter& writer) {
        writer.save_string(vector_signature);
        writer.save_int(-5);
    });
    std::vector<std::int32_t> ids;
    EXPECT_FALSE(load_int_vector(reader, ids));
    make_reply(reader, [](ReplyWriter& writer) {
        writer.save_string(string_array_signature);
        writer.save_int(3);
        writer.save_string(u"a");
    });
    std::vector<WString> strings;
    EXPECT_FALSE(load_string_array(reader, strings));
}

// A record cut short reads past the end: its next string reference is out of range, so it
// fails rather than passing with made-up fields.
TEST(RecordRead, records_cut_short_fail)
{
    ReplyReader reader;
    make_reply(reader, [](ReplyWriter& writer) {
        writer.save_string(User::signature);
        writer.save_string(u"account");
    });
    User user;
    EXPECT_FALSE(user.load(reader));

    ASSERT_TRUE(reader.parse(
        std::string_view("//OK[3,2,1,[\"com.ulmar.viz.client.User/1322923742\",\"a\"],0,3]")));
    EXPECT_FALSE(user.load(reader)); // name refers to a third string that is not there
}

// A string array is read when the service sends one; done and plan are read as magnitudes.
TEST(RecordRead, task_reads_string_list_and_magnitudes)
{
    ReplyReader reader;
    make_reply(reader, [](ReplyWriter& writer) {
        writer.save_string(VizTask::signature);
        for (std::int32_t value : { 1, 1 })
            writer.save_int(value);
        save_null(writer);
        for (std::int32_t value : { 0, 0, 0 })
            writer.save_int(value);
        save_null(writer);
        writer.save_int(0);
        save_null(writer);
        writer.save_int(-7);
        writer.save_int(-2147483647 - 1);
        for (std::int32_t value : { 0, 0, 5, 0, 0 })
            writer.save_int(value);
        writer.save_string(string_array_signature);
        writer.save_int(2);
        writer.save_string(u"one");
        writer.save_string(u"two");
        writer.save_string(u"title");
        writer.save_int(0);
        save_null(writer);
        for (std::int32_t value : { 5, 1, 2 })
            writer.save_int(value);
        writer.save_string(u"");
    });
    VizTask task;
    ASSERT_TRUE(task.load(reader));
    EXPECT_EQ(task.done, 7);
    EXPECT_EQ(task.plan, 2147483647);
    EXPECT_EQ(task.id, 5);
    EXPECT_EQ(task.stringList, (std::vector<WString> { u"one", u"two" }));
    EXPECT_EQ(task.title, u"title");
    EXPECT_TRUE(task.permissions.empty());
    EXPECT_EQ(task.status, 2);
    EXPECT_EQ(reader.remaining(), 0u);
}
