#include "device/rpc/RequesterServer.h"
#include "device/core/Log.h"
#include "device/core/Registry.h"
#include "device/core/testing/LogFile.h"
#include "device/core/testing/TestEnvironment.h"
#include "device/rpc/ServiceCalls.h"

#include <gtest/gtest.h>

using namespace corvane;

namespace {

// The fields of a request body, written with "|" for the U+FFFF that ends each of them.
std::string fields(std::string_view text)
{
    std::string out;
    for (char c : text)
        out += c == '|' ? std::string("\xef\xbf\xbf") : std::string(1, c);
    return out;
}

// Module, strong name and interface of every call to the local service.
const std::string local = "3C9A1E77B0D24F6A8E15C2B9D07F4A63|com.ulmar.viz.client.rpc.VIZService|";

std::string body_text(const SharedBuffer& body)
{
    return std::string(reinterpret_cast<const char*>(body.data()), body.size());
}

} // namespace

// The one-argument authenticate: version, flags, six strings, then the references 1, 2, 3, 4,
// the parameter count 1, the type 5 and the value 6, byte for byte.
// A repeated string is saved once; 64-bit values go out as bare lower-case hexadecimal text.
// U+FFFF inside a string would split it on the other side: the call is refused with a log line,
// nothing is sent, and the next call is whole.
TEST(RequesterServer, writes_the_authenticate_request_byte_for_byte)
{
    ServiceCalls calls(ServiceIdentity { u"http://127.0.0.1:8080/" });
    std::optional<RemoteCall> call = calls.authenticate(u"ключ-42");
    ASSERT_TRUE(call);
    EXPECT_EQ(call->key, u"authenticate");
    EXPECT_EQ(body_text(call->body),
        fields("3|0|6|http://127.0.0.1:8080/|" + local
            + "authenticate|java.lang.String|ключ-42|1|2|3|4|1|5|6|"));

    // The writer starts afresh for the next call.
    call = calls.authenticate(u"a@b.c", u"pw");
    ASSERT_TRUE(call);
    EXPECT_EQ(call->key, u"authenticate2");
    EXPECT_EQ(body_text(call->body),
        fields("3|0|7|http://127.0.0.1:8080/|" + local
            + "authenticate|java.lang.String|a@b.c|pw|1|2|3|4|2|5|5|6|7|"));

    RequesterServer writer;
    writer.save_string(u"same");
    writer.save_string(u"other");
    writer.save_string(u"same");
    writer.save_string(u"");
    for (std::int64_t value : { std::int64_t(255), std::int64_t(-1), std::int64_t(0), INT64_MIN })
        writer.save_int64(value);
    writer.save_int(-2147483647 - 1);
    std::string body;
    ASSERT_TRUE(writer.finish(body));
    EXPECT_EQ(body,
        fields("3|0|3|same|other||1|2|1|3|ff|ffffffffffffffff|0|8000000000000000|-2147483648|"));

    test::TestEnvironment env;
    ASSERT_TRUE(reg_write_dword(u"HKEY_CURRENT_USER\\Software\\Ulmar", u"Log", 1));
    ServiceCalls logged(ServiceIdentity { u"http://127.0.0.1/" });
    EXPECT_FALSE(logged.updateTask(u"session", VizTask {}, u"bad\uFFFFcomment"));

    std::optional<RemoteCall> next = logged.deleteTask(u"session", 5);
    ASSERT_TRUE(next);
    EXPECT_EQ(body_text(next->body),
        fields("3|0|7|http://127.0.0.1/|" + local
            + "deleteTask|java.lang.String|I|session|1|2|3|4|2|5|6|7|5|"));

    WString log = test::read_log();
    ASSERT_TRUE(reg_write_dword(u"HKEY_CURRENT_USER\\Software\\Ulmar", u"Log", 0));
    EXPECT_NE(
        log.find(u"RequesterServer::finish - updateTask not sent: one of its strings holds U+FFFF"),
        WString::npos);
    EXPECT_EQ(log.find(u"bad\uFFFFcomment"), WString::npos);
    EXPECT_NE(log.find(u"----Request:\n3\uFFFF0\uFFFF7\uFFFF"), WString::npos);
}
