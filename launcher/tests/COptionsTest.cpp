#include "launcher/COptions.h"
#include "launcher/SettingsFile.h"
#include "launcher/Text.h"
#include "launcher/tests/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

using namespace lumbra;
using lumbra::test::crlf;
using lumbra::test::TempFolder;
using lumbra::test::utf16le_with_mark;

namespace {

MacroValues medium_macros(const TempFolder& folder)
{
    return { from_utf8(folder.path()), u"/opt", u"/usr/share" };
}

// The options of the medium in `folder`, read for a system in `language`.
std::unique_ptr<COptions> load(const TempFolder& folder, const char* language = "English")
{
    auto options = std::make_unique<COptions>(medium_macros(folder), language);
    options->LoadIni(folder.file("Lumbra.ini"));
    return options;
}

} // namespace

TEST(CompanionFileName, takes_the_language_before_the_extension)
{
    EXPECT_EQ(
        companion_file_name("C:\\Setup\\Lumbra.ini", "Russian"), "C:\\Setup\\Lumbra.Russian.ini");
    EXPECT_EQ(companion_file_name("/media/cd/Lumbra.ini", "German"), "/media/cd/Lumbra.German.ini");
    // The last dot lies in a folder name, or there is none: the whole name is kept.
    EXPECT_EQ(
        companion_file_name("/media/cd.v2/Lumbra", "Russian"), "/media/cd.v2/LumbraRussian.ini");
    EXPECT_EQ(companion_file_name("C:\\cd.v2\\Lumbra", "Russian"), "C:\\cd.v2\\LumbraRussian.ini");
    EXPECT_EQ(companion_file_name("Lumbra", "English"), "LumbraEnglish.ini");
}

// The language file wins with a non-empty value; an empty one there falls back to the main
// file. Values come with their macros replaced.
TEST(COptions, language_file_overrides_main_file)
{
    TempFolder folder;
    folder.write("Lumbra.ini",
        crlf("[Forms]\nfrmStart=Setup\nbtnInstall=Install\nbtnClose=Close\n"
             "[ui_index]\ndefault=$app.path$/html/index.html\n"));
    folder.write("Lumbra.Russian.ini",
        utf16le_with_mark(crlf("[forms]\nFRMSTART=Установка\nbtnInstall=\n")));

    auto options = load(folder, "Russian");
    EXPECT_TRUE(options->problems().empty());
    EXPECT_EQ(options->GetValue(u"Forms", u"frmStart"), u"Установка");
    EXPECT_EQ(options->GetValue(u"Forms", u"btnInstall"), u"Install");
    EXPECT_EQ(options->GetValue(u"Forms", u"btnClose"), u"Close");
    EXPECT_EQ(
        options->GetValue(u"ui_index", u"default"), from_utf8(folder.path() + "/html/index.html"));
    EXPECT_EQ(options->GetValue(u"Forms", u"missing"), u"");

    // A different system language finds no companion; a missing companion is no problem.
    auto english = load(folder);
    EXPECT_EQ(english->GetValue(u"Forms", u"frmStart"), u"Setup");
    EXPECT_TRUE(english->problems().empty());

    // LoadIni replaces both texts, so a companion that has gone takes its values with it.
    folder.write("Lumbra.German.ini", crlf("[s]\nk=sprache\n"));
    auto german = load(folder, "German");
    EXPECT_EQ(german->GetValue(u"s", u"k"), u"sprache");
    std::filesystem::remove(folder.file("Lumbra.German.ini"));
    folder.write("Lumbra.ini", crlf("[s]\nk=second main\n"));
    german->LoadIni(folder.file("Lumbra.ini"));
    EXPECT_EQ(german->GetValue(u"s", u"k"), u"second main");
}

// The same settings in UTF-16 with its mark and in the ANSI (UTF-8) form read the same.
TEST(COptions, utf16_and_ansi_files_give_the_same_values)
{
    std::string content
        = crlf("[Forms]\nfrmStart=Установка Corvane\nbtn=Café\n[layout]\nwidth=640");
    TempFolder utf16_folder;
    utf16_folder.write("Lumbra.ini", utf16le_with_mark(content));
    TempFolder ansi_folder;
    ansi_folder.write("Lumbra.ini", content);

    auto from_utf16 = load(utf16_folder);
    auto from_ansi = load(ansi_folder);
    for (auto [section, key] :
        { std::pair { u"forms", u"FRMSTART" }, { u"Forms", u"btn" }, { u"layout", u"width" } }) {
        EXPECT_FALSE(from_utf16->GetValue(section, key).empty());
        EXPECT_EQ(from_utf16->GetValue(section, key), from_ansi->GetValue(section, key));
    }
    // Single bytes of the old Western code page survive in an ANSI file.
    TempFolder cp1252;
    cp1252.write("Lumbra.ini", crlf("[s]\nk=Caf\xE9 \x93quoted\x94"));
    auto legacy = load(cp1252);
    EXPECT_EQ(legacy->GetValue(u"s", u"k"), u"Café \u201Cquoted\u201D");

    // A UTF-16 file has (size / 2 - 1) characters: an odd last byte is dropped, and a file that
    // is only the mark is empty.
    EXPECT_EQ(decode_settings_bytes(std::string("\xFF\xFE"
                                                "A\0B\0C",
                  7)),
        u"AB");
    EXPECT_EQ(decode_settings_bytes("\xFF\xFE"), u"");
    EXPECT_EQ(decode_settings_bytes("\xFF"), u"\u00FF");
    EXPECT_EQ(decode_settings_bytes(std::string("\xFE\xFF\0A", 4)),
        std::u16string(u"\u00FE\u00FF\0A", 4));
}

// Without "Lumbra.ini", or with one whose bare LF line ends make it one line, every lookup is
// empty and the user is told why.
TEST(COptions, unusable_main_file_is_reported)
{
    for (auto [content, problem] :
        { std::pair<const char*, const char*> { nullptr, "cannot be opened" },
            { "[layout]\nwidth=640\n", "LF" } }) {
        TempFolder folder;
        if (content)
            folder.write("Lumbra.ini", content);
        auto options = load(folder);
        EXPECT_EQ(options->GetValue(u"layout", u"width"), u"");
        ASSERT_EQ(options->problems().size(), 1u);
        EXPECT_NE(options->problems()[0].find(problem), std::string::npos) << problem;
    }
}

// A settings text over 32,767 characters (CR LF framing included) cannot be searched; that
// is reported instead of looking it up, and the other file still answers.
TEST(COptions, settings_text_length_limit)
{
    std::string head = crlf("[s]\nk=");
    auto file_of_length
        = [&](std::size_t characters) { return head + std::string(characters - head.size(), 'v'); };

    TempFolder at_limit;
    at_limit.write("Lumbra.ini", file_of_length(32763));
    auto fits = load(at_limit);
    EXPECT_TRUE(fits->problems().empty());
    EXPECT_EQ(fits->GetValue(u"s", u"k").size(), 32763 - head.size());

    TempFolder over;
    over.write("Lumbra.ini", file_of_length(32764));
    over.write("Lumbra.English.ini", utf16le_with_mark(crlf("[s]\nother=from language")));
    auto too_long = load(over);
    EXPECT_EQ(too_long->GetValue(u"s", u"k"), u"");
    EXPECT_EQ(too_long->GetValue(u"s", u"other"), u"from language");
    ASSERT_EQ(too_long->problems().size(), 1u);
    EXPECT_NE(too_long->problems()[0].find("32763"), std::string::npos);

    // UTF-16 counts characters, not bytes: the same length limit holds.
    TempFolder wide;
    wide.write("Lumbra.ini", utf16le_with_mark(file_of_length(32763)));
    auto wide_fits = load(wide);
    EXPECT_TRUE(wide_fits->problems().empty());
    EXPECT_FALSE(wide_fits->GetValue(u"s", u"k").empty());
}
