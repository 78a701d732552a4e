#include "launcher/SettingsLookup.h"

#include <gtest/gtest.h>

using namespace lumbra;

namespace {

// Lookups see the text as the launcher stores it: CR LF before and after.
std::optional<std::u16string> look_up(
    std::u16string_view body, std::u16string_view section, std::u16string_view key)
{
    std::u16string text = u"\r\n" + std::u16string(body) + u"\r\n";
    return find_raw_value(text, section, key);
}

} // namespace

// Section names and keys differ only in case: still the same section and key.
TEST(SettingsLookup, section_and_key_ignore_case)
{
    std::u16string body = u"[Layout]\r\nWidth=640\r\n[Кнопки]\r\nЗакрыть=да";
    EXPECT_EQ(look_up(body, u"LAYOUT", u"width"), u"640");
    EXPECT_EQ(look_up(body, u"layout", u"WIDTH"), u"640");
    EXPECT_EQ(look_up(body, u"кнопки", u"ЗАКРЫТЬ"), u"да");
}

// Blanks belong to the key or the value; a key written "key =" is not "key".
TEST(SettingsLookup, nothing_is_trimmed)
{
    std::u16string body = u"[s]\r\nkey =spaced key\r\nother= padded \r\n";
    EXPECT_EQ(look_up(body, u"s", u"key"), std::nullopt);
    EXPECT_EQ(look_up(body, u"s", u"key "), u"spaced key");
    EXPECT_EQ(look_up(body, u"s", u"other"), u" padded ");
    EXPECT_EQ(look_up(u" [s]\r\nkey=1", u"s", u"key"), std::nullopt); // Header not at line start.
}

// A key that stands only after the next section header is not part of the section, even
// when that header is a later section of the same name.
TEST(SettingsLookup, section_ends_at_next_bracket_line)
{
    std::u16string body = u"[a]\r\nx=1\r\n[b]\r\ny=2\r\n[a]\r\ny=3";
    EXPECT_EQ(look_up(body, u"a", u"x"), u"1");
    EXPECT_EQ(look_up(body, u"a", u"y"), std::nullopt);
    EXPECT_EQ(look_up(body, u"b", u"y"), u"2");
    // Any line starting with "[" ends a section, header or not.
    EXPECT_EQ(look_up(u"[a]\r\n[not a header\r\nz=1", u"a", u"z"), std::nullopt);
}

// Values run to the line end or to the end of the text; a key is matched up to its "=".
TEST(SettingsLookup, value_extent)
{
    std::u16string text = u"\r\n[s]\r\nlast=tail without line end";
    EXPECT_EQ(find_raw_value(text, u"s", u"last"), u"tail without line end");
    EXPECT_EQ(look_up(u"[s]\r\nempty=\r\nk=v=w", u"s", u"empty"), u"");
    EXPECT_EQ(look_up(u"[s]\r\nk=v=w", u"s", u"k"), u"v=w");
    EXPECT_EQ(look_up(u"[s]\r\nkeyx=1", u"s", u"key"), std::nullopt);
    EXPECT_EQ(look_up(u"[s]\r\nx=1", u"missing", u"x"), std::nullopt);
    EXPECT_EQ(find_raw_value(u"", u"s", u"x"), std::nullopt);
}

// Every occurrence is replaced, in order, case-sensitively, and inserted text is never
// searched again.
TEST(SettingsLookup, macros)
{
    MacroValues macros { u"/media/cd", u"/opt", u"/usr/share" };
    EXPECT_EQ(replace_macros(u"$app.path$/a;$app.path$/b", macros), u"/media/cd/a;/media/cd/b");
    EXPECT_EQ(replace_macros(u"$program files$|$common files$", macros), u"/opt|/usr/share");
    EXPECT_EQ(replace_macros(u"$APP.PATH$", macros), u"$APP.PATH$");
    EXPECT_EQ(replace_macros(u"$app.path", macros), u"$app.path");

    MacroValues tricky { u"/m/$program files$", u"/p/$common files$", u"/c" };
    EXPECT_EQ(replace_macros(u"$app.path$ $program files$", tricky),
        u"/m/$program files$ /p/$common files$");
    // Replacement can join text around it into a macro name; that is not replaced either.
    MacroValues splitting { u"$program", u"/p", u"/c" };
    EXPECT_EQ(replace_macros(u"$app.path$ files$", splitting), u"$program files$");
}
