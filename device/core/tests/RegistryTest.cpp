#include "device/core/Registry.h"
#include "device/core/testing/TestEnvironment.h"
#include "device/platform/linux/FileSettingsStore.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace corvane;

namespace {
const char16_t* const ulmar = u"HKEY_CURRENT_USER\\Software\\Ulmar";
}

// Reading creates the key, so a missing settings file appears after the first read; values
// written survive into a new store on the same file.
TEST(Registry, values_survive_a_new_store_on_the_same_file)
{
    test::TestEnvironment env;
    std::uint32_t value = 0;
    EXPECT_FALSE(reg_read_dword(u"HKEY_CURRENT_USER\\Software\\Ulmar\\Corvane", u"x", value));
    std::ifstream in(env.settings().path());
    std::string content((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(content.find("[HKEY_CURRENT_USER\\Software\\Ulmar\\Corvane]"), std::string::npos);

    ASSERT_TRUE(reg_write_string(ulmar, u"Skin", u"default \"quoted\" \\ Задача\nline"));
    ASSERT_TRUE(reg_write_dword(ulmar, u"Log", 0xFFFFFFFFu));

    FileSettingsStore fresh(env.settings().path());
    auto text = fresh.read(ulmar, u"skin"); // names ignore case
    ASSERT_TRUE(text);
    EXPECT_EQ(std::get<std::u16string>(*text), u"default \"quoted\" \\ Задача\nline");
    auto number = fresh.read(u"hkey_current_user\\software\\ulmar", u"Log");
    ASSERT_TRUE(number);
    EXPECT_EQ(std::get<std::uint32_t>(*number), 0xFFFFFFFFu);
}

TEST(Registry, failed_reads_leave_the_output_alone_and_edits_are_seen)
{
    test::TestEnvironment env;
    WString text = u"preset";
    std::uint32_t number = 7;
    EXPECT_FALSE(reg_read_string(ulmar, u"Missing", text));
    EXPECT_FALSE(reg_read_dword(ulmar, u"Missing", number));
    EXPECT_EQ(text, u"preset");
    EXPECT_EQ(number, 7u);

    // A number stored as a string is not a number, and the other way round.
    ASSERT_TRUE(reg_write_string(ulmar, u"Log", u"1"));
    EXPECT_FALSE(reg_read_dword(ulmar, u"Log", number));
    EXPECT_EQ(number, 7u);
    ASSERT_TRUE(reg_write_dword(ulmar, u"Skin", 3));
    EXPECT_FALSE(reg_read_string(ulmar, u"Skin", text));

    // An empty string is a value.
    ASSERT_TRUE(reg_write_string(ulmar, u"Empty", u""));
    EXPECT_TRUE(reg_read_string(ulmar, u"Empty", text));
    EXPECT_EQ(text, u"");

    // Roots are matched by prefix, with either separator; no known root: every operation fails.
    ASSERT_TRUE(reg_write_dword(u"HKEY_CURRENT_CONFIG\\Display", u"Rotation", 2));
    EXPECT_TRUE(reg_read_dword(u"HKEY_CURRENT_CONFIG/Display", u"Rotation", number));
    EXPECT_EQ(number, 2u);
    EXPECT_FALSE(reg_read_dword(u"HKEY_CURRENT_USER\\Display", u"Rotation", number));
    EXPECT_FALSE(reg_write_dword(u"HKEY_NOWHERE\\x", u"v", 1));
    EXPECT_FALSE(reg_read_dword(u"Software\\Ulmar", u"Log", number));

    // Another process (or a person) editing the file is seen by the next read; broken lines
    // are skipped without losing the good ones.
    std::ofstream(env.settings().path(), std::ios::trunc)
        << "[HKEY_CURRENT_USER\\Software\\Ulmar]\n\"Log\"=dword:00000001\n"
           "\"Broken\"=dword:xyz\n\"Half\"=\"unterminated\n\"Skin\"=\"blue\"\ngarbage\n[bad\n";
    EXPECT_TRUE(reg_read_dword(ulmar, u"Log", number));
    EXPECT_EQ(number, 1u);
    EXPECT_TRUE(reg_read_string(ulmar, u"Skin", text));
    EXPECT_EQ(text, u"blue");
    EXPECT_FALSE(reg_read_dword(ulmar, u"Broken", number));
    EXPECT_FALSE(reg_read_string(ulmar, u"Half", text));
}
