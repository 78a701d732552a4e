#include "launcher/Paths.h"
#include "launcher/LocaleNames.h"

#include <gtest/gtest.h>

using namespace lumbra;

TEST(Paths, joining_and_page_uris)
{
    EXPECT_EQ(join_path(std::string_view(""), "Lumbra.ini"), "Lumbra.ini");
    EXPECT_EQ(join_path(std::string_view("/media/cd"), "Lumbra.ini"), "/media/cd/Lumbra.ini");
    EXPECT_EQ(join_path(std::string_view("/media/cd/"), "Lumbra.ini"), "/media/cd/Lumbra.ini");
    EXPECT_EQ(join_path(std::string_view("C:\\cd\\"), "x"), "C:\\cd\\x");
    EXPECT_EQ(join_path(std::u16string_view(u"/opt"), u"Common Files"), u"/opt/Common Files");
    EXPECT_EQ(strip_trailing_separator("/media/cd/"), "/media/cd");
    EXPECT_EQ(strip_trailing_separator("/media/cd//"), "/media/cd/");
    EXPECT_EQ(strip_trailing_separator("/"), "/");

    EXPECT_EQ(page_uri("https://example.org/a b", "/m"), "https://example.org/a b");
    EXPECT_EQ(page_uri("file:///m/x.html", "/other"), "file:///m/x.html");
    EXPECT_EQ(page_uri("html\\index.html", "/media/cd"), "file:///media/cd/html/index.html");
    EXPECT_EQ(page_uri("/abs/Справка 1#.html", "/m"),
        "file:///abs/%D0%A1%D0%BF%D1%80%D0%B0%D0%B2%D0%BA%D0%B0%201%23.html");
    // A drive letter is no scheme.
    EXPECT_FALSE(has_uri_scheme("C:\\setup\\index.html"));
    EXPECT_TRUE(has_uri_scheme("about:blank"));
    EXPECT_FALSE(has_uri_scheme("index.html"));
    EXPECT_FALSE(has_uri_scheme("1a:b"));
}

TEST(LocaleNames, windows_names_from_posix_locales)
{
    auto names = [](std::string_view locale) {
        LanguageNames n = language_for_locale(locale);
        return n.english_name + "/" + n.abbreviation;
    };
    // The region picks the variant; codeset and modifier do not count; unknown means English.
    for (auto [locale, expected] : { std::pair { "ru_RU.UTF-8", "Russian/RUS" },
             { "en_GB", "English/ENG" }, { "de_AT@euro", "German/DEA" },
             { "C.UTF-8", "English/ENU" }, { "", "English/ENU" }, { "tlh_XX", "English/ENU" } })
        EXPECT_EQ(names(locale), expected) << locale;
    EXPECT_EQ(messages_locale(nullptr, "", "ru_RU.UTF-8"), "ru_RU.UTF-8");
    EXPECT_EQ(messages_locale("de_DE", "fr_FR", "ru_RU"), "de_DE");
    EXPECT_EQ(messages_locale(nullptr, nullptr, nullptr), "");
}
