#include "device/rpc/ReplyReader.h"
#include "common/wire/WireUtf8.h"

#include <gtest/gtest.h>

using namespace corvane;

namespace {

// Parses the text's bytes, and checks that parsing the decoded text gives the same answer:
// replies are read from their bytes when that is equivalent, from the decoded text otherwise.
bool parse(ReplyReader& reader, WStringView text)
{
    bool parsed = reader.parse(encode_wire_utf8(text));
    ReplyReader decoded;
    EXPECT_EQ(decoded.parse_text(text), parsed) << to_utf8(text);
    EXPECT_EQ(decoded.values(), reader.values()) << to_utf8(text);
    EXPECT_EQ(decoded.is_exception(), reader.is_exception());
    EXPECT_EQ(decoded.string_count(), reader.string_count());
    for (std::size_t i = 0; i < reader.string_count(); ++i)
        EXPECT_EQ(decoded.string_at(i), reader.string_at(i));
    return parsed;
}

// What the reader holds ("EX" for an exception, then the size of the string table), then one
// load per letter (i: int, l: 64-bit, s: string), with "!" after the load that raised the error.
std::string loads(ReplyReader& reader, std::string_view kinds)
{
    std::string out
        = (reader.is_exception() ? "EX " : "") + std::to_string(reader.string_count()) + ":";
    for (char kind : kinds) {
        bool had_error = reader.has_error();
        if (kind == 'i')
            out += " " + std::to_string(reader.load_int());
        else if (kind == 'l')
            out += " " + std::to_string(reader.load_int64());
        else
            out += " \"" + to_utf8(reader.load_string()) + "\"";
        if (reader.has_error() && !had_error)
            out += "!";
    }
    return out;
}

} // namespace

// The service writes values last to first; load_int hands them back from the end and then
// keeps answering -1. Strings come by reference, 0 being the empty string; one outside the table
// (or past the end of the values) is not a valid empty string: the reader records the error.
// Value tokens follow the lenient integer rule: white space and one sign before the digits,
// anything after them ignored, too large saturates. Strings are unescaped in one pass (an escaped
// backslash never joins the next character into a new escape); 64-bit values are hexadecimal
// text. An exception reply parses like a result and only raises the flag.
TEST(ReplyReader, reads_values_strings_and_the_exception_flag)
{
    struct Case {
        const char16_t* text;
        const char* kinds;
        const char* expected;
    };
    const Case cases[] = {
        { u"//OK[1,2,3,[],0,3]", "iiiii", "0: 3 2 1 -1 -1" },
        { u"//OK[0,2,1,[\"x\",\"y\"],0,3]", "sss", "2: \"x\" \"y\" \"\"" },
        { u"//OK[1,[\"\"],0,3]", "s", "1: \"\"" },
        { u"//EX[2,1,[\"com.ulmar.viz.client.VIZException/1576971601\",\"NOT_LOGGED\"],0,3]", "ss",
            "EX 2: \"com.ulmar.viz.client.VIZException/1576971601\" \"NOT_LOGGED\"" },
        { u"//OK[5,[],0,3]", "i", "0: 5" }, // the next parse lowers the flag
        { u"//OK[12abc, -7,+5,\t0x1f,007,[],0,3]", "iiiii", "0: 7 0 5 -7 12" },
        { u"//OK[2147483647,-2147483648,99999999999,-99999999999,1234567890,[],0,3]", "iiiii",
            "0: 1234567890 -2147483648 2147483647 -2147483648 2147483647" },
        { u"//OK[1,[\"a\\x20b\\\"c\\\\d\\r\\n\"],0,3]", "s", "1: \"a b\"c\\d\r\n\"" },
        { u"//OK[3,2,1,[\"\\\\x20\",\"\\\\n\",\"\\t\\x2c\\x2C\\x2\\\"],0,3]", "sss",
            "3: \"\\x20\" \"\\n\" \"\\t,,\\x2\\\"" },
        { u"//"
          u"OK[0,4,3,2,1,[\"FF\",\"ffffffffffffffff\",\"18c6a7b3e00\",\"1ffffffffffffffff\"],0,3]",
            "lllll", "4: 255 -1 1702593510912 -1 0" }, // too long saturates; reference 0 is 0
        { u"//OK[-2,2,1,[\"x\"],0,3]", "ss", "1: \"x\" \"\"!" },
        { u"//OK[-2,[\"x\"],0,3]", "s", "1: \"\"!" },
        { u"//OK[1,[\"x\"],0,3]", "ss", "1: \"x\" \"\"!" }, // past the end
        { u"//OK[1,[\"Задача\U0001F600\"],0,3]", "s", "1: \"Задача\U0001F600\"" },
    };
    ReplyReader reader;
    for (const Case& c : cases) {
        SCOPED_TRACE(to_utf8(c.text));
        ASSERT_TRUE(parse(reader, c.text));
        EXPECT_EQ(loads(reader, c.kinds), c.expected);
    }

    // Prefix, trailer, split and integer checks reject the reply as a whole and leave it empty.
    const WStringView rejected[] = {
        u"",
        u"//OK[",
        u"//OK[1,2,3",
        u"//ok[1,[],0,3]",
        u"OK[1,[],0,3]",
        u"//OK[1,2,[\"x\"],0,5]", // a later stream version's trailer
        u"//OK[1,2,[],0,5]",
        u"//OK[[],0,3]", // no value at all
        u"//OK[,[],0,3]",
        u"//OK[abc,[],0,3]", // no digit
        u"//OK[1,-,[],0,3]",
        u"//OK[1,- 5,[],0,3]",
        u"//OK[1,+-5,[],0,3]",
        u"//OK[1,[\"],0,3]", // string trailer without a string list
        u"//OK[1,\"x\"],0,3]", // no ",[\"" split
        u"//OK[2,1,[\"a,[\",\"b\"],0,3]", // three parts
        u"//OK[1,,2,[],0,3]", // empty value token
        u"//OK[1,2,[],0,3] ",
    };
    for (WStringView text : rejected) {
        EXPECT_FALSE(parse(reader, text)) << to_utf8(text);
        EXPECT_EQ(reader.remaining(), 0u);
        EXPECT_EQ(reader.load_int(), -1);
    }
    // A good reply after a rejected one parses from scratch.
    ASSERT_TRUE(parse(reader, u"//OK[4,[],0,3]"));
    EXPECT_EQ(reader.load_int(), 4);
}

// Non-ASCII text arrives as UTF-8; a body cut inside a sequence, or holding a malformed byte, loses
// its trailer and is rejected: a malformed byte cuts the text, and what comes before it must itself
// be a whole reply. A multi-byte form of an ASCII character decodes to that character, framing
// included, so such a reply is read from its decoded text.
TEST(ReplyReader, reads_utf8_bytes)
{
    ReplyReader reader;
    std::string bytes = encode_wire_utf8(u"//OK[1,[\"Задача\"],0,3]");
    EXPECT_FALSE(reader.parse(encode_wire_utf8(u"//OK[1,[\"") + "\xd0"));
    std::string broken = bytes;
    broken.insert(10, "\x80");
    EXPECT_FALSE(reader.parse(broken));
    EXPECT_TRUE(reader.parse(SharedBuffer(bytes.data(), static_cast<std::uint32_t>(bytes.size()))));
    EXPECT_FALSE(reader.parse(SharedBuffer()));
    ASSERT_TRUE(reader.parse(std::string_view("//OK[7,[],0,3]\xffgarbage")));
    EXPECT_EQ(reader.load_int(), 7);
    EXPECT_FALSE(reader.parse(std::string_view("//OK[7,[],0,3\xff]")));

    // The closing quote and an "a" inside the string in overlong two-byte form, and a "b" as
    // a four-byte form whose low 16 bits are "b"; an overlong comma splits the values.
    ASSERT_TRUE(
        reader.parse(std::string_view("//OK[1,[\"x\xc1\xa1\xf0\x90\x81\xa2\xc0\xa2],0,3]")));
    EXPECT_EQ(reader.load_string(), u"xab");
    ASSERT_TRUE(reader.parse(std::string_view("//OK[1\xc0\xac"
                                              "2,[],0,3]")));
    EXPECT_EQ(reader.values(), (std::vector<std::int32_t> { 1, 2 }));
}
