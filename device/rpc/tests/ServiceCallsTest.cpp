#include "device/rpc/ServiceCalls.h"
#include "common/records/WireValues.h"
#include "common/wire/ReplyWriter.h"
#include "common/wire/RequestReader.h"
#include "device/rpc/ReplyReader.h"
#include "device/rpc/ServiceReplies.h"

#include <gtest/gtest.h>

#include <functional>

using namespace corvane;

namespace {

const ServiceIdentity identity { u"http://127.0.0.1:8080/viz/" };

// Parses a call as the service would and checks its header against the catalogue (the
// request tests check the rest of the header byte for byte).
void open_call(const std::optional<RemoteCall>& call, WStringView key, RequestReader& reader)
{
    ASSERT_TRUE(call);
    EXPECT_EQ(call->key, key);
    ASSERT_TRUE(reader.parse(
        std::string_view(reinterpret_cast<const char*>(call->body.data()), call->body.size())));
    CallHeader header;
    ASSERT_TRUE(read_call_header(reader, header));
    EXPECT_EQ(header.identity.moduleBaseUrl, identity.moduleBaseUrl);
    const CallSpec* spec = find_call(header.method, header.parameterTypes);
    ASSERT_NE(spec, nullptr) << to_utf8(header.method);
    EXPECT_EQ(spec->key, key);
}

// Reads the call's arguments by kind (s: string, i: int, L: Long, F: the filter, as
// "F<responsible>:<status flags>", with "e" and "o" for its two switches) and checks nothing is
// left.
std::vector<std::string> arguments(RequestReader& reader, std::string_view kinds)
{
    std::vector<std::string> out;
    for (char kind : kinds) {
        std::int64_t value = 0;
        Filter filter;
        if (kind == 's') {
            out.push_back(to_utf8(reader.load_string()));
        } else if (kind == 'i') {
            out.push_back(std::to_string(reader.load_int()));
        } else if (kind == 'L') {
            out.push_back(load_long(reader, value) ? std::to_string(value) : "bad");
        } else if (!filter.load(reader)) {
            out.push_back("bad");
        } else {
            std::string text = "F" + std::to_string(filter.responsible) + ":";
            for (bool shown : filter.statuses)
                text += shown ? '1' : '0';
            out.push_back(text + (filter.enabled ? "e" : "") + (filter.option ? "o" : ""));
        }
    }
    EXPECT_TRUE(reader.is_complete());
    return out;
}

} // namespace

// Each key names one catalogue entry; a call is found by its method and all its types.
TEST(ServiceCatalogue, lists_every_call_once_by_key)
{
    for (const CallSpec& call : service_catalogue())
        EXPECT_EQ(find_call_by_key(call.key), &call);
    EXPECT_EQ(find_call_by_key(u"moveTask"), nullptr);
    const WString list_types[] = { u"java.lang.String", u"com.ulmar.viz.client.Filter", u"I", u"Z",
        u"Z", u"Z", u"java.lang.Long", u"java.lang.Long", u"java.lang.String", u"I", u"I",
        u"java.lang.String" };
    EXPECT_EQ(find_call(u"getFilteredList", list_types), find_call_by_key(u"getFilteredList"));
    EXPECT_EQ(find_call(u"getFilteredList", std::span(list_types).first(11)), nullptr);
}

// Calls of plain ints and texts are checked end to end against the service; the objects are
// checked here value for value. The list cursor goes out field by field; its Longs are null when
// 0. The edited task goes out whole but without its history and participants.
TEST(ServiceCalls, calls_send_their_objects)
{
    ServiceCalls calls(identity);
    Filter filter;
    filter.statuses[1] = false;
    filter.responsible = 17;
    Task cursor;
    cursor.id = 0;
    Task last = cursor;
    last.id = 77;
    last.matchesFilter = true;
    last.complete = true;
    last.date = 1700000000123;
    last.deadline = -5;
    last.title = u"last";
    using Texts = std::vector<std::string>;
    struct Case {
        std::optional<RemoteCall> call;
        const char16_t* key;
        const char* kinds;
        Texts expected;
    } cases[] = {
        { calls.getFilteredChildren(u"s1", filter, 0), u"getFilteredChildren", "sFi",
            { "s1", "F17:101111eo", "0" } },
        { calls.loadTask(u"s1", Filter {}, 12), u"loadTask", "sFi",
            { "s1", "F-1:111111eo", "12" } },
        { calls.getFilteredNews(u"s1", Filter {}, 300, 7), u"getFilteredNews", "sFii",
            { "s1", "F-1:111111eo", "300", "7" } },
        // No cursor: flags 0, null date and deadline, empty title, id 0.
        { calls.getFilteredList(u"s1", Filter {}, -1, cursor, list_page_size, u""),
            u"getFilteredList", "sFiiiiiisiis",
            { "s1", "F-1:111111eo", "-1", "0", "0", "0", "0", "0", "", "0", "25", "" } },
        { calls.getFilteredList(u"s1", filter, 12, last, list_page_size, u"tag"),
            u"getFilteredList", "sFiiiiLLsiis",
            { "s1", "F17:101111eo", "12", "1", "1", "1", "1700000000123", "-5", "last", "77", "25",
                "tag" } },
    };
    RequestReader reader;
    for (const Case& c : cases) {
        SCOPED_TRACE(to_utf8(c.key));
        open_call(c.call, c.key, reader);
        EXPECT_EQ(arguments(reader, c.kinds), c.expected);
    }

    VizTask task;
    task.id = 31;
    task.parentId = 30;
    task.projectId = 30;
    task.title = u"Title\r\nDescription";
    task.done = -3;
    task.plan = 5;
    task.deadline = 1700000000000;
    task.changes.push_back(Change {});
    task.permissions.push_back(Permission { 2, u"x@y.z", 4 });
    VizTask expected = task;
    expected.changes.clear();
    expected.permissions.clear();
    expected.done = 3; // a read takes the absolute value
    for (bool create : { false, true }) {
        open_call(
            create ? calls.createTask(u"s1", task, u"") : calls.updateTask(u"s1", task, u"why"),
            create ? u"createTask" : u"updateTask", reader);
        EXPECT_EQ(reader.load_string(), u"s1");
        VizTask sent;
        ASSERT_TRUE(sent.load(reader));
        EXPECT_EQ(sent, expected);
        EXPECT_EQ(reader.load_string(), create ? u"" : u"why");
        EXPECT_TRUE(reader.is_complete());
        task.id = expected.id = -1;
    }
}

// A login key, a flag and nothing come back as written; a login key reference outside the table
// is a reply that does not read, and a task vector holding one User element fails as a whole.
TEST(ServiceReplies, reads_results_and_fails_whole)
{
    ReplyReader reader;
    auto reply = [&](const std::function<void(ReplyWriter&)>& write) {
        ReplyWriter writer;
        write(writer);
        std::string bytes;
        writer.finish_utf8(bytes);
        EXPECT_TRUE(reader.parse(bytes));
        return bytes;
    };
    WString key = u"old";
    reply([](ReplyWriter& writer) { write_login_key(writer, u""); });
    ASSERT_TRUE(read_login_key(reader, key));
    EXPECT_EQ(key, u"");
    bool flag = false;
    reply([](ReplyWriter& writer) { write_flag(writer, true); });
    ASSERT_TRUE(read_flag(reader, flag));
    EXPECT_TRUE(flag);
    EXPECT_EQ(reply([](ReplyWriter& writer) { write_nothing(writer); }), "//OK[0,[],0,3]");

    ASSERT_TRUE(reader.parse(std::string_view("//OK[3,[\"k\"],0,3]")));
    EXPECT_FALSE(read_login_key(reader, key));
    EXPECT_EQ(key, u"");

    reply([](ReplyWriter& writer) {
        writer.save_string(vector_signature);
        writer.save_int(2);
        VizTask {}.save(writer);
        User { u"a@b.c", 3, u"A" }.save(writer);
    });
    std::vector<VizTask> tasks { VizTask {} };
    EXPECT_FALSE(read_tasks(reader, tasks));
    EXPECT_EQ(tasks.size(), 1u); // left as it was
}
