#include "common/base/Text.h"

#include <gtest/gtest.h>

using namespace corvane;

// Well-formed text converts both ways; malformed input never produces out-of-range reads or
// dropped neighbours.
TEST(Text, utf8_conversion)
{
    EXPECT_EQ(from_utf8("a\xc3"), u"a\uFFFD");
    EXPECT_EQ(from_utf8("\xe0\x80\x80x"), u"\uFFFDx"); // overlong
    EXPECT_EQ(from_utf8("\xed\xa0\x80"), u"\uFFFD"); // encoded surrogate
    EXPECT_EQ(from_utf8("\xff"), u"\uFFFD");
    EXPECT_EQ(to_utf8(u"\xD800x"), "\xef\xbf\xbdx");

    // Well-formed text, surrogate pairs included, comes back whole.
    WString text = u"Задача \U0001F600 done";
    EXPECT_EQ(from_utf8(to_utf8(text)), text);
    EXPECT_EQ(to_utf8(u"\u00e9"), "\xc3\xa9");
}

TEST(Text, narrow_conversion_never_cuts_a_character)
{
    EXPECT_EQ(narrow_to_wide("\xe9t\xe9"), u"\u00e9t\u00e9");
    // Three characters give a three-byte budget: the second two-byte letter no longer fits.
    EXPECT_EQ(wide_to_narrow(u"ab\u00e9"), "ab");
    EXPECT_EQ(wide_to_narrow(u"\u00e9\u00e9x"), "\xc3\xa9");
}

TEST(Text, decimal_formatting_covers_the_extremes)
{
    EXPECT_EQ(to_wstring(std::int32_t(-2147483647 - 1)), u"-2147483648");
    EXPECT_EQ(to_wstring(std::int64_t(INT64_MIN)), u"-9223372036854775808");
    EXPECT_EQ(to_wstring(std::uint32_t(0)), u"0");
}
