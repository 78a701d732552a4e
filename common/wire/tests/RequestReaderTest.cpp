#include "common/wire/RequestReader.h"
#include "common/wire/WireUtf8.h"
#include "device/rpc/RequesterServer.h"

#include <gtest/gtest.h>

using namespace corvane;

namespace {

// Builds a request text from elements, each followed by U+FFFF.
WString request(std::initializer_list<WStringView> elements)
{
    WString text;
    for (WStringView element : elements) {
        text += element;
        text.push_back(u'\uFFFF');
    }
    return text;
}

} // namespace

// What the client writes, the service reads back value for value.
TEST(RequestReader, reads_what_the_request_writer_wrote)
{
    RequesterServer writer;
    writer.save_string(u"first");
    writer.save_int(-42);
    writer.save_int64(-2);
    writer.save_string(u"\U0001F600");
    writer.save_int(0); // null
    writer.save_string(u"first");
    std::string body;
    ASSERT_TRUE(writer.finish(body));

    RequestReader reader;
    ASSERT_TRUE(reader.parse(body));
    EXPECT_EQ(reader.string_count(), 2u);
    EXPECT_EQ(reader.remaining(), 6u);
    EXPECT_EQ(reader.load_string(), u"first");
    EXPECT_EQ(reader.load_int(), -42);
    EXPECT_EQ(reader.load_int64(), -2);
    EXPECT_EQ(reader.load_string(), u"\U0001F600");
    EXPECT_EQ(reader.load_string(), u"");
    EXPECT_FALSE(reader.is_complete());
    EXPECT_EQ(reader.load_string(), u"first");
    EXPECT_TRUE(reader.is_complete());
}

TEST(RequestReader, refuses_malformed_frames_and_values)
{
    RequestReader reader;
    EXPECT_FALSE(reader.parse_text(u""));
    EXPECT_FALSE(reader.parse_text(u"3\uFFFF0\uFFFF0")); // no final separator
    EXPECT_FALSE(reader.parse_text(request({ u"3", u"0" })));
    EXPECT_FALSE(reader.parse_text(request({ u"5", u"0", u"0" })));
    EXPECT_FALSE(reader.parse_text(request({ u"3", u"1", u"0" })));
    EXPECT_FALSE(reader.parse_text(request({ u"3", u"0", u"2", u"a" })));
    EXPECT_FALSE(reader.parse_text(request({ u"3", u"0", u"-1" })));
    EXPECT_FALSE(reader.parse_text(request({ u"3", u"0", u"x" })));
    EXPECT_FALSE(reader.failure().empty());
    EXPECT_FALSE(reader.parse("3\xef\xbf\xbf"
                              "0\xef\xbf\xbf"
                              "1\xef\xbf\xbf\xc0\xa2\xef\xbf\xbf"));
    EXPECT_TRUE(reader.parse_text(request({ u"3", u"0", u"1", u"a", u"1" })));
    EXPECT_TRUE(reader.failure().empty());

    // Every bad value is an error that sticks, never a crash or a silent default.
    ASSERT_TRUE(reader.parse_text(request({ u"3", u"0", u"1", u"a", u"2" })));
    EXPECT_EQ(reader.load_string(), u"");
    EXPECT_TRUE(reader.has_error());

    const WStringView bad_ints[] = { u"", u"12abc", u"+5", u"2147483648", u"-2147483649", u" 1" };
    for (WStringView token : bad_ints) {
        ASSERT_TRUE(reader.parse_text(request({ u"3", u"0", u"0", token })));
        EXPECT_EQ(reader.load_int(), -1) << to_utf8(token);
        EXPECT_TRUE(reader.has_error()) << to_utf8(token);
    }
    ASSERT_TRUE(reader.parse_text(request({ u"3", u"0", u"0", u"-2147483648" })));
    EXPECT_EQ(reader.load_int(), -2147483647 - 1);
    EXPECT_TRUE(reader.is_complete());

    const WStringView bad_longs[] = { u"", u"0x1", u"11111111111111111", u"g" };
    for (WStringView token : bad_longs) {
        ASSERT_TRUE(reader.parse_text(request({ u"3", u"0", u"0", token })));
        reader.load_int64();
        EXPECT_TRUE(reader.has_error()) << to_utf8(token);
    }
    ASSERT_TRUE(reader.parse_text(request({ u"3", u"0", u"0", u"FfFfFfFfFfFfFfFf" })));
    EXPECT_EQ(reader.load_int64(), -1);

    ASSERT_TRUE(reader.parse_text(request({ u"3", u"0", u"0" })));
    EXPECT_EQ(reader.load_int(), -1);
    EXPECT_TRUE(reader.has_error());
}
