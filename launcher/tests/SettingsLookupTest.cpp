#include "launcher/SettingsLookup.h"

#include "launcher/Text.h"

#include <gtest/gtest.h>

#include <tuple>

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

// Section names and keys ignore case; nothing is trimmed (a key written "key =" is not "key",
// and a header must start its line); a section ends at the next line starting with "[", even
// when that is a later section of the same name; values run to the line end or the end of the
// text, and a key is matched up to its "=".
TEST(SettingsLookup, finds_raw_values)
{
    const std::u16string cases = u"[Layout]\r\nWidth=640\r\n[Кнопки]\r\nЗакрыть=да";
    const std::u16string blanks = u"[s]\r\nkey =spaced key\r\nother= padded \r\n";
    const std::u16string repeated = u"[a]\r\nx=1\r\n[b]\r\ny=2\r\n[a]\r\ny=3";
    const std::tuple<std::u16string_view, const char16_t*, const char16_t*,
        std::optional<std::u16string>>
        lookups[] = {
            { cases, u"LAYOUT", u"width", u"640" },
            { cases, u"layout", u"WIDTH", u"640" },
            { cases, u"кнопки", u"ЗАКРЫТЬ", u"да" },
            { blanks, u"s", u"key", std::nullopt },
            { blanks, u"s", u"key ", u"spaced key" },
            { blanks, u"s", u"other", u" padded " },
            { u" [s]\r\nkey=1", u"s", u"key", std::nullopt },
            { repeated, u"a", u"x", u"1" },
            { repeated, u"a", u"y", std::nullopt },
            { repeated, u"b", u"y", u"2" },
            { u"[a]\r\n[not a header\r\nz=1", u"a", u"z", std::nullopt },
            { u"[s]\r\nempty=\r\nk=v=w", u"s", u"empty", u"" },
            { u"[s]\r\nk=v=w", u"s", u"k", u"v=w" },
            { u"[s]\r\nkeyx=1", u"s", u"key", std::nullopt },
            { u"[s]\r\nx=1", u"missing", u"x", std::nullopt },
        };
    for (const auto& [body, section, key, expected] : lookups)
        EXPECT_EQ(look_up(body, section, key), expected)
            << to_utf8(std::u16string(body)) << " [" << to_utf8(section) << "] " << to_utf8(key);
    // Without the CR LF after it, the last value runs to the end of the text.
    EXPECT_EQ(find_raw_value(u"\r\n[s]\r\nlast=tail without line end", u"s", u"last"),
        u"tail without line end");
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
