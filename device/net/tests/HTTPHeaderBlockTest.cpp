#include "device/net/HTTPHeaderBlock.h"

#include <gtest/gtest.h>

using namespace corvane;

namespace {

// The headers as "name=value" lines, then "2xx" when the status line counts as a success.
std::string parsed(WStringView block)
{
    ParsedHeaderBlock result = parse_header_block(block);
    std::string out;
    for (const ReplyHeader& header : result.headers)
        out += to_utf8(header.name) + "=" + to_utf8(header.value) + "\n";
    return out + (result.is_2xx ? "2xx" : "");
}

} // namespace

// Names are lower-cased, the value starts after ": ", and lines that are not "name: value" are
// skipped rather than misread. A status line alone, or a block that is not ended by NUL, must
// not read past the end. The 2xx test looks only at the first character after the first space,
// and needs a second space after it: a status line without a reason phrase does not count.
TEST(HTTPHeaderBlock, parses_the_status_line_and_headers)
{
    using namespace std::string_view_literals;
    const std::pair<std::u16string_view, const char*> cases[] = {
        { u"HTTP/1.1 200 OK\0Content-Length: 12\0X-Odd:no-space\0no colon here\0Set-Cookie: a=b; "
          u"Path=/\0X-Empty: \0\u00C4RGER: v\0\0"sv,
            "content-length=12\nset-cookie=a=b; Path=/\nx-empty=\n\u00e4rger=v\n2xx" },
        { u"HTTP/1.1 200 OK"sv, "2xx" },
        { u"HTTP/1.1 200 OK\0Age: 3"sv, "age=3\n2xx" },
        { u"HTTP/1.1 200 OK\0Age:"sv, "2xx" },
        { u"HTTP/1.0 204 No Content\0"sv, "2xx" },
        { u"HTTP/1.1 299 \0"sv, "2xx" },
        { u"HTTP/1.1 200\0"sv, "" },
        { u"HTTP/1.1 404 Not Found\0"sv, "" },
        { u"HTTP/1.1  200 OK\0"sv, "" },
        { u"HTTP/1.1\0"sv, "" },
        { u""sv, "" },
    };
    for (const auto& [block, expected] : cases)
        EXPECT_EQ(parsed(block), expected) << to_utf8(block);
}

// Numbers in header values: whole 32-bit decimals only (a failed parse leaves the output alone),
// and a range needs "bytes" and three numbers that make a range.
TEST(HTTPHeaderBlock, numbers_in_header_values)
{
    const std::pair<const char16_t*, std::int64_t> decimals[] = { { u"0", 0 },
        { u"4294967295", 4294967295 }, { u"4294967296", -1 }, { u"99999999999999999999999", -1 },
        { u"", -1 }, { u"12abc", -1 }, { u"-1", -1 }, { u" 1", -1 } };
    for (const auto& [text, expected] : decimals) {
        std::uint32_t value = 7;
        EXPECT_EQ(parse_unsigned_decimal(text, value), expected >= 0) << to_utf8(text);
        EXPECT_EQ(value, expected >= 0 ? expected : 7) << to_utf8(text);
    }

    const std::pair<const char16_t*, const char*> ranges[] = {
        { u"bytes 100-199/1000", "100-199/1000" },
        { u"bytes 0-0/1", "0-0/1" },
        { u"bytes */1000", "" },
        { u"bytes 5-4/10", "" }, // would give a negative range length
        { u"bytes 1-2/", "" },
        { u"bytes 1-2/3x", "" },
        { u"bytes 1/2-3", "" },
        { u"items 1-2/3", "" },
        { u"bytes1-2/3", "" },
        { u"", "" },
    };
    for (const auto& [text, expected] : ranges) {
        std::optional<ContentRange> range = parse_content_range(text);
        EXPECT_EQ(range ? std::to_string(range->first) + "-" + std::to_string(range->last) + "/"
                    + std::to_string(range->length)
                        : "",
            expected)
            << to_utf8(text);
    }
}
