#include "launcher/RegistryStore.h"
#include "device/core/testing/TempFolder.h"

#include <gtest/gtest.h>

using namespace lumbra;

namespace {

constexpr std::string_view s_sample = R"reg(Windows Registry Editor Version 5.00
; what the launcher reads
[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion]
"ProgramFilesDir"="/srv/programs"
"Quoted"="say \"hi\" to C:\\temp"
"Count"=dword:0000001f

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\App Paths\CEAPPMGR.EXE\]
@="/usr/local/bin/ceappmgr"
[HKEY_CURRENT_USER\Control Panel\International]
"sLanguage"="RUS"
)reg";

} // namespace

// Key paths and names ignore case and a trailing backslash; "@" is the default value.
TEST(RegistryStore, reads_strings_and_numbers)
{
    std::vector<std::string> problems;
    RegistryStore store = RegistryStore::parse(s_sample, "sample", problems);
    EXPECT_TRUE(problems.empty());
    const std::u16string version
        = u"HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion";
    EXPECT_EQ(store.read_string(u"hkey_local_machine\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                  u"programfilesdir"),
        u"/srv/programs");
    EXPECT_EQ(store.read_string(version, u"Quoted"), u"say \"hi\" to C:\\temp");
    EXPECT_EQ(
        store.read_string(version + u"\\App Paths\\CEAPPMGR.EXE", u""), u"/usr/local/bin/ceappmgr");
    EXPECT_EQ(store.read_string(u"HKEY_CURRENT_USER\\Control Panel\\International\\", u"sLanguage"),
        u"RUS");
    EXPECT_EQ(store.read_dword(version, u"Count"), 0x1Fu);
    // A number is not a string and the other way round.
    EXPECT_EQ(store.read_string(version, u"Count"), std::nullopt);
    EXPECT_EQ(store.read_dword(u"HKEY_CURRENT_USER\\Control Panel\\International", u"sLanguage"),
        std::nullopt);
    EXPECT_EQ(store.read_string(u"HKEY_CURRENT_USER\\Control Panel", u"sLanguage"), std::nullopt);
}

// Each bad line is named with its line number and skipped; the good lines still count.
TEST(RegistryStore, bad_lines_are_reported_and_skipped)
{
    std::vector<std::string> problems;
    RegistryStore store = RegistryStore::parse("\"early\"=\"x\"\n"
                                               "[HKEY_CURRENT_USER\\A]\n"
                                               "unquoted=\"x\"\n"
                                               "\"open=\"x\n"
                                               "\"n\"=dword:123456789\n"
                                               "\"n2\"=dword:xyz\n"
                                               "\"two\"=\"a\" \"b\"\n"
                                               "\"ok\"=\"fine\"\r\n"
                                               "[broken\n"
                                               "\"after\"=\"x\"\n",
        "reg", problems);
    ASSERT_EQ(problems.size(), 8u);
    EXPECT_EQ(problems[0].rfind("reg:1: ", 0), 0u);
    EXPECT_EQ(problems[7].rfind("reg:10: ", 0), 0u);
    EXPECT_EQ(store.read_string(u"HKEY_CURRENT_USER\\A", u"ok"), u"fine");
    EXPECT_EQ(store.read_string(u"HKEY_CURRENT_USER\\A", u"after"), std::nullopt);
}

TEST(RegistryStore, file_location)
{
    EXPECT_EQ(registry_file_path("/tmp/r.reg", "/cfg", "/home/u"), "/tmp/r.reg");
    EXPECT_EQ(registry_file_path("", "/cfg", "/home/u"), "/cfg/lumbra/registry.reg");
    EXPECT_EQ(
        registry_file_path(nullptr, "relative", "/home/u"), "/home/u/.config/lumbra/registry.reg");
    EXPECT_EQ(registry_file_path(nullptr, nullptr, nullptr), "");

    std::vector<std::string> problems;
    corvane::test::TempFolder folder;
    RegistryStore missing = RegistryStore::load(folder.file("none.reg"), problems);
    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(missing.read_string(u"HKEY_CURRENT_USER\\A", u"x"), std::nullopt);
    RegistryStore loaded = RegistryStore::load(
        folder.write("r.reg", "[HKEY_CURRENT_USER\\A]\n\"x\"=\"\xD0\xAF\"\n"), problems);
    EXPECT_EQ(loaded.read_string(u"HKEY_CURRENT_USER\\A", u"x"), u"Я");
}
