#include "common/wire/WireUtf8.h"

#include <gtest/gtest.h>

using namespace corvane;

// The service expects every UTF-16 unit encoded by itself: surrogate halves and U+FFFF as
// 3-byte sequences, never a 4-byte form.
TEST(WireUtf8, encodes_each_unit_by_itself)
{
    EXPECT_EQ(encode_wire_utf8(u"a\u00e9\u4e2d"), "a\xc3\xa9\xe4\xb8\xad");
    EXPECT_EQ(encode_wire_utf8(u"\U0001F600"), "\xed\xa0\xbd\xed\xb8\x80");
    EXPECT_EQ(encode_wire_utf8(u"\uFFFF"), "\xef\xbf\xbf");
    EXPECT_EQ(encode_wire_utf8(WString(1, u'\0')), std::string(1, '\0'));

    // Every unit, lone surrogates included, comes back from its own encoding.
    WString all;
    for (std::uint32_t unit = 0; unit <= 0xFFFF; ++unit)
        all.push_back(static_cast<char16_t>(unit));
    EXPECT_EQ(decode_wire_utf8(encode_wire_utf8(all)), all);
}

// Decoding stops at the first bad or cut sequence and keeps what came before it, including
// inside the eight-byte fast path.
TEST(WireUtf8, lenient_decoding)
{
    // Octal escapes, so that no letter that follows is read as part of the escape.
    const std::pair<std::string_view, std::u16string_view> cases[] = { { "ab\200cd", u"ab" },
        { "ab\303", u"ab" }, { "ab\344\270", u"ab" }, { "ab\303A", u"ab" }, { "ab\376cd", u"ab" },
        { "ab\377", u"ab" },
        { "0123456789abcdef\303\2510123456789\200tail", u"0123456789abcdef\u00e90123456789" } };
    for (auto [bytes, text] : cases)
        EXPECT_EQ(decode_wire_utf8(bytes), text) << bytes.size();
    EXPECT_EQ(decode_wire_utf8(""), u"");

    // Long forms are accepted and only their low 16 bits are kept; overlong forms are not refused.
    EXPECT_EQ(decode_wire_utf8("\xf0\x9f\x98\x80"), u"\uF600");
    EXPECT_EQ(decode_wire_utf8("\xf8\x88\x80\x80\x81x"), WString(u"\u0001x"));
    EXPECT_EQ(decode_wire_utf8("\xfc\x84\x80\x80\x80\x82"), WString(u"\u0002"));
    EXPECT_EQ(decode_wire_utf8("\xc0\xa2"), u"\"");
}

// The service side decodes strictly: a pair sent unit by unit is the pair again, anything
// malformed is refused.
TEST(WireUtf8, strict_decoding_recombines_pairs_and_refuses_the_rest)
{
    EXPECT_EQ(decode_strict_wire_utf8("\xed\xa0\xbd\xed\xb8\x80"), WString(u"\U0001F600"));
    EXPECT_EQ(decode_strict_wire_utf8("\xf0\x9f\x98\x80"), WString(u"\U0001F600"));
    EXPECT_EQ(decode_strict_wire_utf8("\xef\xbf\xbf"), WString(u"\uFFFF"));
    EXPECT_FALSE(decode_strict_wire_utf8("\xc0\xa2")); // overlong quote
    EXPECT_FALSE(decode_strict_wire_utf8("\xe0\x80\xa2")); // overlong
    EXPECT_FALSE(decode_strict_wire_utf8("\x80"));
    EXPECT_FALSE(decode_strict_wire_utf8("a\xe4\xb8"));
    EXPECT_FALSE(decode_strict_wire_utf8("\xf4\x90\x80\x80")); // above U+10FFFF
    EXPECT_FALSE(decode_strict_wire_utf8("\xf8\x88\x80\x80\x81"));
}
