#include "launcher/Text.h"

#include <gtest/gtest.h>

using namespace lumbra;

// Valid UTF-8 is decoded; anything else is read byte by byte as Windows-1252, never dropped.
// (Encoding is the shared converter's, tested beside it.)
TEST(Text, ansi_decoding)
{
    EXPECT_EQ(decode_ansi("Установка"), u"Установка");
    EXPECT_EQ(decode_ansi("\xF0\x9F\x98\x80"), u"\U0001F600");
    EXPECT_EQ(decode_ansi("\x93q\x94 \x80"), u"\u201Cq\u201D \u20AC");
    EXPECT_EQ(decode_ansi("\xC0\x80"), u"\u00C0\u20AC"); // Overlong NUL.
    EXPECT_EQ(decode_ansi("\xED\xA0\x80"), u"\u00ED\u00A0\u20AC"); // Encoded surrogate.
    EXPECT_EQ(decode_ansi("ab\xD0"), u"ab\u00D0"); // Cut-off sequence at the end.
    EXPECT_EQ(decode_ansi(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
}

TEST(Text, case_folding)
{
    EXPECT_EQ(find_ignoring_case(u"\r\n[FORMS]", u"[forms]"), 2u);
    EXPECT_EQ(find_ignoring_case(u"ПРИВЕТ Ёлка", u"ёлка"), 7u);
    EXPECT_EQ(find_ignoring_case(u"ÉCOLE Ǳ", u"école"), 0u);
    EXPECT_TRUE(equal_ignoring_case(u"ŁÓDŹ", u"łódź"));
    EXPECT_TRUE(equal_ignoring_case(u"ΣΟΦΙΑ", u"σοφια"));
    EXPECT_FALSE(equal_ignoring_case(u"×", u"÷")); // Not a letter pair in Latin-1.
    EXPECT_FALSE(equal_ignoring_case(u"abc", u"abcd"));
    EXPECT_EQ(find_ignoring_case(u"abc", u"c", 3), std::u16string_view::npos);
    EXPECT_EQ(find_ignoring_case(u"abc", u"", 3), 3u);
    EXPECT_EQ(find_ignoring_case(u"abc", u"", 4), std::u16string_view::npos);
}
