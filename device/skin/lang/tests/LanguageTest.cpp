#include "device/core/Paths.h"
#include "device/core/Registry.h"
#include "device/core/testing/TestEnvironment.h"
#include "device/platform/Platform.h"
#include "device/platform/linux/LinuxSystem.h"
#include "device/skin/lang/DeviceLanguage.h"
#include "device/skin/lang/LanguageChoice.h"
#include "device/skin/lang/LanguageFile.h"
#include "device/skin/skin/Properties.h"
#include "device/skin/skin/tests/SkinTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace corvane;
using namespace corvane::test;
namespace fs = std::filesystem;

namespace {

// "%app_path%" of this test program is a private folder, so the tests can install and remove
// language and skin files without touching the build's own.
class AppFolderSystem final : public System {
public:
    AppFolderSystem()
    {
        char pattern[] = "/tmp/corvane-app-XXXXXX";
        folder = mkdtemp(pattern);
    }
    std::string executable_path() const override { return folder + "/corvane"; }
    std::string special_folder(SpecialFolder f) const override { return m_real.special_folder(f); }
    std::string temp_folder() const override { return m_real.temp_folder(); }
    bool open_url(const std::string&) override { return false; }
    std::vector<std::u16string> emergency_numbers() const override { return {}; }
    bool dial(const std::u16string&) override { return false; }
    void message_box(const std::u16string&, const std::u16string&) override { }

    std::string folder;

private:
    LinuxSystem m_real;
};

AppFolderSystem& app_system()
{
    static AppFolderSystem* system = [] {
        auto* s = new AppFolderSystem;
        platform().system = s;
        return s;
    }();
    return *system;
}

const std::string& app_folder()
{
    return app_system().folder;
}

// Installed before any test runs (the program folder is fixed at its first use) and removed
// after the last.
class AppFolderEnvironment : public ::testing::Environment {
public:
    void SetUp() override { app_system(); }
    void TearDown() override { fs::remove_all(app_folder()); }
};
[[maybe_unused]] ::testing::Environment* const app_environment
    = ::testing::AddGlobalTestEnvironment(new AppFolderEnvironment);

// UTF-16LE with the byte-order mark.
std::string utf16_file(const std::u16string& text)
{
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

void set_locale(const char* lang, const char* messages = nullptr)
{
    unsetenv("LC_ALL");
    messages ? setenv("LC_MESSAGES", messages, 1) : unsetenv("LC_MESSAGES");
    lang ? setenv("LANG", lang, 1) : unsetenv("LANG");
}

class Languages : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const auto& entry : fs::directory_iterator(app_folder()))
            fs::remove_all(entry.path());
        set_locale("C");
    }

    void install(const std::string& name, const std::u16string& text)
    {
        std::ofstream(app_folder() + "/" + name, std::ios::binary) << utf16_file(text);
    }

    std::u16string text_of(const char16_t* key) { return translate(properties, key); }

    TestEnvironment env;
    Properties properties;
};

Properties::LanguageTable parse(const std::string& bytes)
{
    return parse_language_text(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

} // namespace

// The line rules: "=" ends the key, white space after a key starts the text at the next
// character, a later key wins, nothing is trimmed, escaped or quoted.
TEST(LanguageParser, lines_keys_texts_and_encodings)
{
    EXPECT_EQ(parse("A=one\r\nB = two\nC word  \rD\n\n   E=\tx=y \r\nA=again\n=orphan\nF"),
        (Properties::LanguageTable { { u"A", u"again" }, { u"B", u"= two" }, { u"C", u"word  " },
            { u"D", u"" }, { u"E", u"\tx=y " }, { u"F", u"" } }));
    EXPECT_TRUE(parse("").empty());
    EXPECT_TRUE(parse(" \r\n\t").empty());

    // FF FE on an even-sized file means UTF-16LE; anything else is read a byte per character.
    auto utf16 = parse(utf16_file(u"Да=Нет\r\n"));
    EXPECT_EQ(utf16[u"Да"], u"Нет");
    // Without the mark every UTF-16 unit becomes two characters.
    std::string unmarked = utf16_file(u"Key=Text").substr(2);
    auto bytes = parse(unmarked);
    ASSERT_EQ(bytes.size(), 1u);
    EXPECT_EQ(bytes.begin()->first, std::u16string(u"K\0e\0y\0", 6));
    // An odd size cannot be UTF-16: the mark is read as two Latin-1 characters.
    auto odd = parse("\xFF\xFE"
                     "K=\xE9");
    EXPECT_EQ(odd[u"\u00FF\u00FEK"], u"\u00E9");
}

// A file that cannot be read changes nothing; a readable one replaces the whole table.
TEST_F(Languages, load_replaces_the_table_or_keeps_it)
{
    install("one.lng", u"A=1\nB=2\n");
    install("two.lng", u"B=3\n");
    ASSERT_TRUE(load_language_file(properties, u"%app_path%/one.lng"));
    EXPECT_EQ(text_of(u"A"), u"1");
    EXPECT_FALSE(load_language_file(properties, u"%app_path%/missing.lng"));
    EXPECT_EQ(text_of(u"B"), u"2");
    EXPECT_EQ(properties.language_path(), from_utf8(app_folder()) + u"/one.lng");
    ASSERT_TRUE(load_language_file(properties, u"%app_path%/two.lng"));
    EXPECT_EQ(text_of(u"A"), u"A"); // not a key any more: shown as itself
    EXPECT_EQ(text_of(u"b"), u"b"); // keys are case-sensitive
    EXPECT_EQ(text_of(u"B"), u"3");
}

// The stored choice, then the device language (any case), then "english", then any file.
TEST_F(Languages, load_language_falls_back_in_order)
{
    const std::u16string key = choice_settings_key(u"Corvane");
    install("english.lng", u"Who=english\n");
    install("russian.lng", u"Who=russian\n");
    install("aaa.lng", u"Who=aaa\n");
    ASSERT_TRUE(reg_write_string(key, u"Language", u"aaa"));
    ASSERT_TRUE(load_language(properties, u"Corvane"));
    EXPECT_EQ(text_of(u"Who"), u"aaa");

    ASSERT_TRUE(reg_write_string(key, u"Language", u"removed"));
    set_locale("ru_RU.UTF-8");
    ASSERT_TRUE(load_language(properties, u"Corvane"));
    EXPECT_EQ(text_of(u"Who"), u"russian"); // "RUSSIAN" found as "russian.lng"

    set_locale("de_DE.UTF-8");
    ASSERT_TRUE(load_language(properties, u"Corvane"));
    EXPECT_EQ(text_of(u"Who"), u"english");

    fs::remove(app_folder() + "/english.lng");
    ASSERT_TRUE(load_language(properties, u"Corvane"));
    EXPECT_EQ(text_of(u"Who"), u"aaa"); // first in name order

    // The fallback is never written back.
    std::u16string stored;
    ASSERT_TRUE(reg_read_string(key, u"Language", stored));
    EXPECT_EQ(stored, u"removed");

    for (const auto& entry : fs::directory_iterator(app_folder()))
        fs::remove(entry.path());
    EXPECT_FALSE(load_language(properties, u"Corvane"));
    EXPECT_EQ(text_of(u"Who"), u"aaa"); // the table in force stays
}

// The device language comes from the messages locale, mapped to the primary-language table.
TEST(DeviceLanguage, follows_the_messages_locale)
{
    set_locale("ru_RU.UTF-8");
    EXPECT_EQ(device_language_name(), u"RUSSIAN");
    set_locale("ru_RU.UTF-8", "en_GB.UTF-8");
    EXPECT_EQ(device_language_name(), u"ENGLISH");
    setenv("LC_ALL", "nb_NO", 1);
    EXPECT_EQ(device_language_name(), u"NORWEGIAN");
    set_locale("C");
    EXPECT_EQ(device_language_name(), u"");
    set_locale(nullptr);
    EXPECT_EQ(device_language_name(), u"");
    setenv("LANG", "xx_YY", 1);
    EXPECT_EQ(device_language_name(), u"");
}

// The submenu lists languages by path, marks the current one whatever the case of its name,
// and ends with "Cancel" in the caller's item style; choosing one switches and stores it.
TEST_F(Languages, language_submenu_and_switch)
{
    install("russian.lng", u"Who=russian\n");
    install("English.lng", u"Who=english\n");
    EXPECT_TRUE(has_several_languages());
    ASSERT_TRUE(load_language_file(properties, u"%app_path%/English.lng"));
    std::vector<LanguageMenuItem> menu;
    EXPECT_FALSE(
        handle_language_command(properties, u"Corvane", u"Language", menu, u"MenuElement"));
    EXPECT_EQ(menu,
        (std::vector<LanguageMenuItem> {
            { u"Language#English", u"English", true, u"" },
            { u"Language#russian", u"russian", false, u"" },
            { u"Cancel", u"", false, u"MenuElement" },
        }));

    std::vector<LanguageMenuItem> unused;
    EXPECT_TRUE(handle_language_command(properties, u"Corvane", u"Language#russian", unused, u""));
    EXPECT_EQ(text_of(u"Who"), u"russian");
    std::u16string stored;
    ASSERT_TRUE(reg_read_string(choice_settings_key(u"Corvane"), u"Language", stored));
    EXPECT_EQ(stored, u"russian");
    // The current language, a missing one and other commands change nothing.
    EXPECT_FALSE(handle_language_command(properties, u"Corvane", u"Language#russian", unused, u""));
    EXPECT_FALSE(handle_language_command(properties, u"Corvane", u"Language#klingon", unused, u""));
    EXPECT_FALSE(
        handle_language_command(properties, u"Corvane", u"Language#../russian", unused, u""));
    EXPECT_FALSE(handle_language_command(properties, u"Corvane", u"About", unused, u""));
    EXPECT_TRUE(unused.empty());
    EXPECT_EQ(text_of(u"Who"), u"russian");

    fs::remove(app_folder() + "/English.lng");
    EXPECT_FALSE(has_several_languages());
}

// Skin choice: the stored name, then "default", then any other skin but "splash" and "today".
TEST_F(Languages, chosen_skin_falls_back_but_never_to_splash_or_today)
{
    std::string skins = app_folder() + "/skins";
    auto skin = [&](const std::string& name) {
        std::string errors;
        std::string made = compile_skin(
            skins, name, R"({"nodes": {"Who": {"id": ")" + name + R"("}}})", &errors);
        ASSERT_FALSE(made.empty()) << errors;
    };
    auto loaded = [&] {
        return to_utf8(properties.get_string(
            *properties.find_node(u"Who"), u"id", Properties::empty_string()));
    };
    skin("default");
    skin("blue");
    skin("splash");
    skin("today");
    ASSERT_TRUE(reg_write_string(choice_settings_key(u"Corvane"), u"Skin", u"blue"));
    ASSERT_TRUE(load_chosen_skin(properties, u"Corvane", u""));
    EXPECT_EQ(loaded(), "blue");

    ASSERT_TRUE(reg_write_string(choice_settings_key(u"Corvane"), u"Skin", u"gone"));
    ASSERT_TRUE(load_chosen_skin(properties, u"Corvane", from_utf8(app_folder())));
    EXPECT_EQ(loaded(), "default");

    std::ofstream(skins + "/bin/default.skin", std::ios::binary) << "broken";
    ASSERT_TRUE(load_chosen_skin(properties, u"Corvane", u""));
    EXPECT_EQ(loaded(), "blue");

    fs::remove(skins + "/bin/blue.skin");
    EXPECT_FALSE(load_chosen_skin(properties, u"Corvane", u""));
    EXPECT_EQ(loaded(), "blue"); // the skin in force stays
}
