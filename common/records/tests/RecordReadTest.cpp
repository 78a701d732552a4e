#include "common/records/AuthInfo.h"
#include "common/records/Filter.h"
#include "common/records/FilteredNews.h"
#include "common/records/Task.h"
#include "common/records/User.h"
#include "common/records/VIZException.h"
#include "common/records/VizList.h"
#include "common/records/WireValues.h"
#include "common/wire/ReplyWriter.h"
#include "device/rpc/ReplyReader.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>
#include <variant>

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

// A reply of `values` in order, parsed into `reader`: numbers, texts (signatures and string
// fields), and nulls as the number 0.
void reply_of(
    ReplyReader& reader, std::initializer_list<std::variant<std::int32_t, WStringView>> values)
{
    make_reply(reader, [&](ReplyWriter& writer) {
        for (const auto& value : values)
            if (const std::int32_t* number = std::get_if<std::int32_t>(&value))
                writer.save_int(*number);
            else
                writer.save_string(std::get<WStringView>(value));
    });
}

VizTask ordered(
    bool complete, std::int64_t date, std::int64_t deadline, WStringView title, std::int32_t id)
{
    VizTask t;
    t.complete = complete;
    t.date = date;
    t.deadline = deadline;
    t.title = title;
    t.id = id;
    return t;
}

} // namespace

// A null object reads successfully and leaves the record as it was; a null vector reads as
// empty, a null element is a record with its defaults.
TEST(RecordRead, null_objects_keep_the_record)
{
    ReplyReader reader;
    reply_of(reader, { 0 });
    AuthInfo auth { 1, u"s", 2, u"6", 3 };
    EXPECT_TRUE(auth.load(reader));
    EXPECT_EQ(auth, (AuthInfo { 1, u"s", 2, u"6", 3 }));

    reply_of(reader, { 0, vector_signature, 2, 0, User::signature, u"u", 5, u"" });
    std::vector<User> users { User {} };
    ASSERT_TRUE(load_vector(reader, users));
    EXPECT_TRUE(users.empty());
    ASSERT_TRUE(load_vector(reader, users));
    EXPECT_EQ(users, (std::vector<User> { User {}, User { u"u", 5, u"" } }));
}

// Any other signature fails the record, wherever it sits (here in a Long slot), and so does a
// record cut short: its next string reference is out of range, so it fails rather than passing
// with made-up fields.
TEST(RecordRead, wrong_signatures_and_short_records_fail)
{
    ReplyReader reader;
    reply_of(reader, { User::signature, u"u", 1, u"" });
    VizTask task;
    EXPECT_FALSE(task.load(reader));
    reply_of(reader, { Change::signature, 4, u"text", 1, integer_signature, 5 });
    Change change;
    EXPECT_FALSE(change.load(reader));
    reply_of(reader, { User::signature, u"account" });
    User user;
    EXPECT_FALSE(user.load(reader));
    ASSERT_TRUE(reader.parse(
        std::string_view("//OK[3,2,1,[\"com.ulmar.viz.client.User/1322923742\",\"a\"],0,3]")));
    EXPECT_FALSE(user.load(reader)); // name refers to a third string that is not there
}

// The client's filter array keeps its size: extra elements are consumed and dropped and missing
// ones keep their value, so the fields after the array still read correctly. The service takes
// the array as sent.
TEST(RecordRead, filter_array_is_never_resized)
{
    auto read = [](std::vector<bool> sent, std::vector<bool> held,
                    StatusArrayFit fit = StatusArrayFit::KeepSize) {
        Filter written;
        written.statuses = sent;
        written.option = false;
        written.responsible = 9;
        ReplyReader reader;
        make_reply(reader, [&](ReplyWriter& writer) { written.save(writer); });
        Filter filter;
        filter.statuses = held;
        EXPECT_TRUE(filter.load(reader, fit));
        EXPECT_EQ(std::tuple(filter.option, filter.responsible, reader.remaining()),
            std::tuple(false, 9, 0u));
        return filter.statuses;
    };
    using Bits = std::vector<bool>;
    EXPECT_EQ(
        read({ false, true, false, false, false }, Bits(3, true)), (Bits { false, true, false }));
    EXPECT_EQ(read({ false }, Bits(6, true)), (Bits { false, true, true, true, true, true }));
    Bits eight { false, true, false, true, false, true, false, true };
    EXPECT_EQ(read(eight, Bits(6, true), StatusArrayFit::TakeSent), eight);
}

// Counts that the remaining values cannot hold fail at once instead of allocating for them.
TEST(RecordRead, impossible_counts_fail)
{
    ReplyReader reader;
    for (std::int32_t count : { 2000000000, -1, 4 }) {
        reply_of(reader, { vector_signature, count, 0, 0, 0 });
        std::vector<VizTask> tasks;
        EXPECT_FALSE(load_vector(reader, tasks)) << count;
    }
    reply_of(reader, { boolean_array_signature, 1000000, 1 });
    std::vector<bool> flags(6, true);
    EXPECT_FALSE(load_bool_array_into(reader, flags));
    EXPECT_EQ(flags, std::vector<bool>(6, true));
    reply_of(reader, { vector_signature, -5 });
    std::vector<std::int32_t> ids;
    EXPECT_FALSE(load_int_vector(reader, ids));
    reply_of(reader, { string_array_signature, 3, u"a" });
    std::vector<WString> strings;
    EXPECT_FALSE(load_string_array(reader, strings));
}

// A string array is read when the service sends one; done and plan are read as magnitudes.
TEST(RecordRead, task_reads_string_list_and_magnitudes)
{
    ReplyReader reader;
    reply_of(reader,
        { VizTask::signature, 1, 1, 0, 0, 0, 0, 0, 0, 0, -7, -2147483647 - 1, 0, 0, 5, 0, 0,
            string_array_signature, 2, u"one", u"two", u"title", 0, 0, 5, 1, 2, u"" });
    VizTask task;
    ASSERT_TRUE(task.load(reader));
    EXPECT_EQ(
        std::tuple(task.done, task.plan, task.id, task.status), std::tuple(7, 2147483647, 5, 2));
    EXPECT_EQ(task.stringList, (std::vector<WString> { u"one", u"two" }));
    EXPECT_EQ(task.title, u"title");
    EXPECT_TRUE(task.permissions.empty());
    EXPECT_EQ(reader.remaining(), 0u);
}

// Each key decides only when the keys before it are equal; titles compare by UTF-16 units, so a
// surrogate pair sorts below U+E000 to U+FFFF.
TEST(TaskOrder, keys_in_their_order)
{
    const std::pair<VizTask, VizTask> before[] = {
        { ordered(false, 1, 0, u"z", 9), ordered(true, 100, 5, u"a", 1) },
        { ordered(false, 100, 0, u"z", 9), ordered(false, 1, 5, u"a", 1) },
        { ordered(false, 5, 900, u"z", 9), ordered(false, 5, 0, u"a", 1) },
        { ordered(false, 5, -10, u"z", 9), ordered(false, 5, 3, u"a", 1) },
        { ordered(false, 5, 3, u"B", 9), ordered(false, 5, 3, u"a", 1) },
        { ordered(false, 5, 3, u"a", 2), ordered(false, 5, 3, u"a", 10) },
        { ordered(false, 0, 0, u"\U0001F600", 1), ordered(false, 0, 0, u"\uE000", 2) },
        { ordered(false, 0, 0, u"ab", 1), ordered(false, 0, 0, u"abc", 2) },
    };
    for (const auto& [first, second] : before) {
        EXPECT_LT(compare_tasks(first, second), 0) << first.id << " vs " << second.id;
        EXPECT_GT(compare_tasks(second, first), 0) << second.id << " vs " << first.id;
    }
    EXPECT_EQ(compare_tasks(ordered(false, 5, 3, u"a", 2), ordered(false, 5, 3, u"a", 2)), 0);
}

TEST(Filter, matches_by_responsible_and_status)
{
    Filter filter;
    VizTask t;
    t.responsibleId = 4;
    t.status = 0;
    EXPECT_TRUE(filter.matches(t));
    filter.responsible = 4;
    EXPECT_TRUE(filter.matches(t));
    filter.responsible = 5;
    EXPECT_FALSE(filter.matches(t));

    filter.responsible = -1;
    filter.statuses[2] = false;
    for (std::int32_t status : { 2, -1, 6, 2147483647, -2147483647 - 1 }) {
        t.status = status;
        EXPECT_FALSE(filter.matches(t)) << status;
    }
    t.status = 5;
    EXPECT_TRUE(filter.matches(t));
    filter.statuses.resize(3);
    EXPECT_FALSE(filter.matches(t));
}
