#include "device/net/HTTPHeaderBlock.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace corvane;

namespace {

WString block(std::initializer_list<const char16_t*> lines)
{
    WString text;
    for (const char16_t* line : lines) {
        text += line;
        text.push_back(u'\0');
    }
    return text;
}

} // namespace

// Names are lower-cased, the value starts after ": ", and lines that are not "name: value" are
// skipped rather than misread. A status line alone, or a block that is not ended by NUL, must
// not read past the end.
// The 2xx test looks only at the first character after the first space, and needs a second space
// after it: a status line without a reason phrase does not count.
TEST(HTTPHeaderBlock, parses_the_status_line_and_headers)
{
    ParsedHeaderBlock parsed
        = parse_header_block(block({ u"HTTP/1.1 200 OK", u"Content-Length: 12", u"X-Odd:no-space",
            u"no colon here", u"Set-Cookie: a=b; Path=/", u"X-Empty: ", u"\u00C4RGER: v", u"" }));
    ASSERT_EQ(parsed.headers.size(), 4u);
    EXPECT_EQ(parsed.headers[0].name, u"content-length");
    EXPECT_EQ(parsed.headers[0].value, u"12");
    EXPECT_EQ(parsed.headers[1].name, u"set-cookie");
    EXPECT_EQ(parsed.headers[1].value, u"a=b; Path=/");
    EXPECT_EQ(parsed.headers[2].name, u"x-empty");
    EXPECT_EQ(parsed.headers[2].value, u"");
    EXPECT_EQ(parsed.headers[3].name, u"\u00E4rger");

    EXPECT_TRUE(parse_header_block(u"HTTP/1.1 200 OK").headers.empty());
    parsed = parse_header_block(WString(u"HTTP/1.1 200 OK\0Age: 3", 22));
    ASSERT_EQ(parsed.headers.size(), 1u);
    EXPECT_EQ(parsed.headers[0].value, u"3");
    EXPECT_TRUE(parse_header_block(WString(u"HTTP/1.1 200 OK\0Age:", 20)).headers.empty());

    EXPECT_TRUE(parse_header_block(block({ u"HTTP/1.1 200 OK" })).is_2xx);
    EXPECT_TRUE(parse_header_block(block({ u"HTTP/1.0 204 No Content" })).is_2xx);
    EXPECT_TRUE(parse_header_block(block({ u"HTTP/1.1 299 " })).is_2xx);
    EXPECT_FALSE(parse_header_block(block({ u"HTTP/1.1 200" })).is_2xx);
    EXPECT_FALSE(parse_header_block(block({ u"HTTP/1.1 404 Not Found" })).is_2xx);
    EXPECT_FALSE(parse_header_block(block({ u"HTTP/1.1  200 OK" })).is_2xx);
    EXPECT_FALSE(parse_header_block(block({ u"HTTP/1.1" })).is_2xx);
    EXPECT_FALSE(parse_header_block(WString()).is_2xx);
}

// Numbers in header values: whole 32-bit decimals only, and a range needs "bytes" and three
// numbers that make a range.
TEST(HTTPHeaderBlock, numbers_in_header_values)
{
    std::uint32_t value = 7;
    EXPECT_TRUE(parse_unsigned_decimal(u"0", value));
    EXPECT_EQ(value, 0u);
    EXPECT_TRUE(parse_unsigned_decimal(u"4294967295", value));
    EXPECT_EQ(value, 4294967295u);
    value = 7;
    EXPECT_FALSE(parse_unsigned_decimal(u"4294967296", value));
    EXPECT_FALSE(parse_unsigned_decimal(u"99999999999999999999999", value));
    EXPECT_FALSE(parse_unsigned_decimal(u"", value));
    EXPECT_FALSE(parse_unsigned_decimal(u"12abc", value));
    EXPECT_FALSE(parse_unsigned_decimal(u"-1", value));
    EXPECT_FALSE(parse_unsigned_decimal(u" 1", value));
    EXPECT_EQ(value, 7u); // a failed parse leaves the output alone

    std::optional<ContentRange> range = parse_content_range(u"bytes 100-199/1000");
    ASSERT_TRUE(range);
    EXPECT_EQ(std::tuple(range->first, range->last, range->length), std::tuple(100u, 199u, 1000u));
    EXPECT_TRUE(parse_content_range(u"bytes 0-0/1"));
    EXPECT_FALSE(parse_content_range(u"bytes */1000"));
    EXPECT_FALSE(parse_content_range(u"bytes 5-4/10")); // would give a negative range length
    EXPECT_FALSE(parse_content_range(u"bytes 1-2/"));
    EXPECT_FALSE(parse_content_range(u"bytes 1-2/3x"));
    EXPECT_FALSE(parse_content_range(u"bytes 1/2-3"));
    EXPECT_FALSE(parse_content_range(u"items 1-2/3"));
    EXPECT_FALSE(parse_content_range(u"bytes1-2/3"));
    EXPECT_FALSE(parse_content_range(u""));
}
