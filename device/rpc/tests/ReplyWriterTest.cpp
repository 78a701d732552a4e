#include "common/wire/ReplyWriter.h"
#include "common/wire/WireUtf8.h"
#include "device/rpc/ReplyReader.h"

#include <gtest/gtest.h>

using namespace corvane;

// Values come out last saved first; strings are quoted and escaped in table order.
TEST(ReplyWriter, writes_the_reply_form)
{
    ReplyWriter writer;
    writer.save_int(7);
    writer.save_int(9);
    WString text;
    writer.finish(text);
    EXPECT_EQ(text, u"//OK[9,7,[],0,3]");

    writer.save_int(7);
    writer.save_int(9);
    writer.save_string(u"a b");
    writer.save_string(u"c");
    writer.save_string(u"a b");
    writer.finish(text);
    EXPECT_EQ(text, u"//OK[1,2,1,9,7,[\"a\\x20b\",\"c\"],0,3]");

    // finish() leaves the writer empty for the next reply.
    writer.save_int(-1);
    writer.finish(text, ReplyOutcome::Exception);
    EXPECT_EQ(text, u"//EX[-1,[],0,3]");
}

TEST(ReplyWriter, escapes_every_character_that_could_end_a_string)
{
    ReplyWriter writer;
    writer.save_string(u"\\\" \r\n,x");
    WString text;
    writer.finish(text);
    EXPECT_EQ(text, u"//OK[1,[\"\\\\\\\"\\x20\\r\\n\\x2cx\"],0,3]");
}

TEST(ReplyWriter, writes_64_bit_values_as_referenced_hexadecimal_text)
{
    ReplyWriter writer;
    writer.save_int64(255);
    writer.save_int64(-1);
    writer.save_int64(255);
    WString text;
    writer.finish(text);
    EXPECT_EQ(text, u"//OK[1,2,1,[\"ff\",\"ffffffffffffffff\"],0,3]");
}

// Texts that look like the reply form's own separators, escapes or trailer come back
// unchanged from a write and a read through UTF-8. Written with the old escape set and read
// by replacements in turn, "x\"," split the string list, "a,[" made it three parts and "\x20"
// came back as a space.
TEST(ReplyWriter, every_text_survives_a_round_trip)
{
    const WString texts[] = {
        u"x\",",
        u"a,[",
        u",[\"",
        u"\",\"",
        u"\"],0,3]",
        u",[],0,3]",
        u"\\x20",
        u"\\\\n\\r",
        u"\\",
        u"trailing\\",
        u"",
        u"Задача: купить молоко\r\nи хлеб",
        u"\U0001F600 \uFFFF " + WString(1, char16_t(0xD800)) + u" " + WString(1, char16_t(0xDFFF)),
        WString(u"nul\0inside", 10),
        u"12,34",
    };
    ReplyWriter writer;
    for (const WString& text : texts)
        writer.save_string(text);
    writer.save_int64(0x7FFFFFFFFFFFFFFF);
    std::string bytes;
    writer.finish_utf8(bytes);

    ReplyReader reader;
    ASSERT_TRUE(reader.parse(bytes));
    for (const WString& text : texts)
        EXPECT_EQ(reader.load_string(), text) << to_utf8(text);
    EXPECT_EQ(reader.load_int64(), 0x7FFFFFFFFFFFFFFF);
    EXPECT_FALSE(reader.has_error());
    EXPECT_EQ(reader.remaining(), 0u);
}

// Texts mixing plain ASCII, two- and three-byte letters and every escaped character at every
// offset and length read back unchanged, with spaces in either form: the reader widens up to
// sixteen bytes at a time and must stop exactly at each byte that needs attention.
TEST(ReplyWriter, mixed_texts_survive_at_every_offset)
{
    const char16_t pieces[] = { u'a', u'Z', u'7', u' ', u',', u'"', u'\\', u'\r', u'\n', u'д', u'Ж',
        u'€', u'中', u'x', u'2', u'0' };
    std::uint32_t seed = 12345;
    auto next = [&seed]() {
        seed = seed * 1103515245 + 12345;
        return (seed >> 16) & 0x7FFF;
    };
    std::vector<WString> texts;
    for (int n = 0; n < 400; ++n) {
        WString text;
        std::size_t length = next() % 41;
        for (std::size_t i = 0; i < length; ++i)
            text.push_back(pieces[next() % std::size(pieces)]);
        texts.push_back(text);
    }
    for (SpaceForm spaces : { SpaceForm::Escaped, SpaceForm::Plain }) {
        ReplyWriter writer(spaces);
        for (const WString& text : texts)
            writer.save_string(text);
        std::string bytes;
        writer.finish_utf8(bytes);
        ReplyReader reader;
        ASSERT_TRUE(reader.parse(bytes));
        for (const WString& text : texts)
            ASSERT_EQ(reader.load_string(), text) << to_utf8(text);
    }
}
