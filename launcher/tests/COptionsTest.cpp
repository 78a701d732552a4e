#include "launcher/COptions.h"
#include "launcher/SettingsFile.h"
#include "launcher/Text.h"
#include "launcher/tests/LauncherSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

using namespace lumbra;
using lumbra::test::crlf;
using lumbra::test::TempFolder;

namespace {

// `utf8` as UTF-16LE bytes after an FF FE mark.
std::string utf16le_with_mark(std::string_view utf8)
{
    std::string out = "\xFF\xFE";
    for (char16_t c : from_utf8(utf8))
        out += { static_cast<char>(c & 0xFF), static_cast<char>(c >> 8) };
    return out;
}

// The options of the medium in `folder`, read for a system in `language`.
std::unique_ptr<COptions> load(const TempFolder& folder, const char* language = "English")
{
    auto options = std::make_unique<COptions>(
        MacroValues { from_utf8(folder.path()), u"/opt", u"/usr/share" }, language);
    options->LoadIni(folder.file("Lumbra.ini"));
    return options;
}

} // namespace

// The language goes before the last extension; when the last dot lies in a folder name, or
// there is none, the whole name is kept.
TEST(CompanionFileName, takes_the_language_before_the_extension)
{
    for (auto [main, language, expected] :
        { std::tuple { "/media/cd/Lumbra.ini", "German", "/media/cd/Lumbra.German.ini" },
            { "/media/cd.v2/Lumbra", "Russian", "/media/cd.v2/LumbraRussian.ini" },
            { "Lumbra", "English", "LumbraEnglish.ini" } })
        EXPECT_EQ(companion_file_name(main, language), expected) << main;
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
    auto values = [](COptions& o) {
        return to_utf8(o.GetValue(u"Forms", u"frmStart") + u"|"
            + o.GetValue(u"Forms", u"btnInstall") + u"|" + o.GetValue(u"Forms", u"btnClose") + u"|"
            + o.GetValue(u"Forms", u"missing"));
    };
    EXPECT_EQ(values(*options), "Установка|Install|Close|");
    EXPECT_EQ(
        options->GetValue(u"ui_index", u"default"), from_utf8(folder.path() + "/html/index.html"));

    // A different system language finds no companion; a missing companion is no problem.
    auto english = load(folder);
    EXPECT_EQ(values(*english), "Setup|Install|Close|");
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

// The same settings in UTF-16 with its mark and in the ANSI (UTF-8) form read the same; single
// bytes of the old Western code page survive in an ANSI file. A UTF-16 file has (size / 2 - 1)
// characters: an odd last byte is dropped, and a file that is only the mark is empty.
TEST(COptions, utf16_and_ansi_files_give_the_same_values)
{
    std::string content = crlf("[Forms]\nfrmStart=Установка Corvane\n[layout]\nwidth=640\n");
    TempFolder utf16_folder, ansi_folder;
    utf16_folder.write("Lumbra.ini", utf16le_with_mark(content));
    ansi_folder.write("Lumbra.ini", content + crlf("[cp]\nk=Caf\xE9 \x93quoted\x94"));
    auto from_utf16 = load(utf16_folder);
    auto from_ansi = load(ansi_folder);
    for (auto [section, key, expected] :
        { std::tuple { u"forms", u"FRMSTART", u"Установка Corvane" },
            { u"layout", u"width", u"640" } }) {
        EXPECT_EQ(from_ansi->GetValue(section, key), expected);
        EXPECT_EQ(from_utf16->GetValue(section, key), expected);
    }
    EXPECT_EQ(from_ansi->GetValue(u"cp", u"k"), u"Café \u201Cquoted\u201D");
    for (auto [bytes, text] : { std::pair { std::string("\xFF\xFE"
                                                        "A\0B\0C",
                                                7),
                                    std::u16string(u"AB") },
             { "\xFF\xFE", u"" }, { "\xFF", u"\u00FF" },
             { std::string("\xFE\xFF\0A", 4), std::u16string(u"\u00FE\u00FF\0A", 4) } })
        EXPECT_EQ(decode_settings_bytes(bytes), text);
}

// Without "Lumbra.ini", with one whose bare LF line ends make it one line, or with a text over
// 32,767 characters (CR LF framing included, counted in characters for UTF-16 as well), every
// lookup in it is empty and the user is told why; the language file still answers.
TEST(COptions, unusable_main_file_is_reported)
{
    std::string head = crlf("[s]\nk=");
    auto of_length
        = [&](std::size_t characters) { return head + std::string(characters - head.size(), 'v'); };
    const struct {
        std::optional<std::string> content;
        const char* problem; // nullptr: none
    } cases[] = {
        { std::nullopt, "cannot be opened" },
        { "[s]\nk=640\n", "LF" },
        { of_length(32763), nullptr },
        { utf16le_with_mark(of_length(32763)), nullptr },
        { of_length(32764), "32763" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.problem ? c.problem : "fits");
        TempFolder folder;
        if (c.content)
            folder.write("Lumbra.ini", *c.content);
        folder.write("Lumbra.English.ini", utf16le_with_mark(crlf("[s]\nother=from language")));
        auto options = load(folder);
        EXPECT_EQ(options->GetValue(u"s", u"other"), u"from language");
        if (!c.problem) {
            EXPECT_TRUE(options->problems().empty());
            EXPECT_EQ(options->GetValue(u"s", u"k").size(), 32763 - head.size());
            continue;
        }
        EXPECT_EQ(options->GetValue(u"s", u"k"), u"");
        ASSERT_EQ(options->problems().size(), 1u);
        EXPECT_NE(options->problems()[0].find(c.problem), std::string::npos);
    }
}
