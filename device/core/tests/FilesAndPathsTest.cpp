#include "device/core/Clipboard.h"
#include "device/core/File.h"
#include "device/core/FindFiles.h"
#include "device/core/Paths.h"
#include "device/core/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

using namespace corvane;

// A macro expands only at the start and only in its own case; names split and join at either
// separator; comparisons ignore case and a trailing separator.
TEST(Paths, macros_name_parts_and_comparisons)
{
    WString folder = expand_path(u"%app_path%");
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), u'/');
    auto index = [](std::optional<std::size_t> at) { return at ? to_wstring(*at) : u"none"; };
    const std::pair<WString, WString> cases[] = {
        { expand_path(u"%app_path%\\skins\\bin\\splash.skin"), folder + u"/skins/bin/splash.skin" },
        { expand_path(u"%app_path%/x"), folder + u"/x" },
        { expand_path(u"a/%app_path%\\b"), u"a/%app_path%/b" },
        { expand_path(u"%App_Path%/x"), u"%App_Path%/x" },
        { expand_path(u"%app_full_name%"), folder + u"/" + expand_path(u"%app_name%") },
        { dir_of(u"a\\b/c.txt"), u"a\\b/" },
        { dir_of(u"c.txt"), u"" },
        { file_of(u"a\\b/c.txt"), u"c.txt" },
        { file_of(u"c.txt"), u"c.txt" },
        { index(extension_index(u"a.b\\c")), u"none" }, // the dot is in a folder name
        { index(extension_index(u"x/a.tar.gz")), u"7" },
        { index(extension_index(u"noext")), u"none" },
        { file_stem(u"dir.d/name.skin"), u"name" },
        { file_stem(u"dir.d/name"), u"name" },
        { strip_trailing_separator(u"a/b//"), u"a/b/" },
        { join_path(u"", u"n"), u"n" },
        { join_path(u"a\\", u"n"), u"a/n" },
    };
    for (const auto& [got, expected] : cases)
        EXPECT_EQ(to_utf8(got), to_utf8(expected));
    EXPECT_TRUE(same_path(u"/Tmp/Skins/", u"/tmp/skins"));
    EXPECT_TRUE(same_path(u"\\tmp\\a", u"/tmp/a"));
    EXPECT_FALSE(same_path(u"/tmp/a", u"/tmp/ab"));
    EXPECT_TRUE(path_starts_with(u"/tmp/skins/x.skin", u"/TMP/skins"));
    EXPECT_FALSE(path_starts_with(u"/tmp", u"/tmp/skins"));
}

TEST(File, modes_truncate_append_read_and_failures)
{
    test::TestEnvironment env;
    WString path = from_utf8(env.folder() + "/f.bin");
    {
        File f;
        ASSERT_TRUE(f.open(path, FileMode::Write));
        EXPECT_EQ(f.write("hello", 5), 5u);
    }
    {
        File f;
        ASSERT_TRUE(f.open(path, FileMode::Append));
        EXPECT_EQ(f.position(), 5u);
        EXPECT_EQ(f.write("!", 1), 1u);
    }
    File f;
    ASSERT_TRUE(f.open(path, FileMode::Read));
    EXPECT_EQ(f.size(), 6u);
    char buffer[8] = {};
    EXPECT_EQ(f.read(buffer, 8), 6u);
    EXPECT_STREQ(buffer, "hello!");
    EXPECT_EQ(f.seek(-3), -3);
    EXPECT_EQ(f.write("x", 1), 0u); // read-only handle
    ASSERT_TRUE(f.open(path, FileMode::Write));
    EXPECT_EQ(f.size(), 0u);

    // A file that failed to open, or a folder, answers zero to everything.
    char c;
    EXPECT_FALSE(f.open(u"/nonexistent/dir/file", FileMode::Read));
    EXPECT_EQ(f.read(&c, 1) + f.write(&c, 1) + f.size(), 0u);
    EXPECT_FALSE(f.seek_to(0));
    EXPECT_FALSE(f.open(u"/tmp", FileMode::Read));
}

// The replacement happens whole: the new file has the requested permissions, and a write
// that cannot complete leaves neither a partial target nor a stray temporary file.
TEST(File, atomic_replacement)
{
    test::TestEnvironment env;
    WString path = from_utf8(env.folder() + "/cache.dat");
    ASSERT_TRUE(write_file_atomically(path, "old", 3, true));
    ASSERT_TRUE(write_file_atomically(path, "newer", 5, true));
    struct stat st { };
    ASSERT_EQ(stat(to_utf8(path).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    auto content = read_whole_file(path);
    ASSERT_TRUE(content);
    EXPECT_EQ(
        std::string(reinterpret_cast<const char*>(content->data()), content->size()), "newer");

    // A folder in the way of the rename: the write fails and the folder is untouched.
    WString blocked = from_utf8(env.folder() + "/blocked");
    std::filesystem::create_directories(env.folder() + "/blocked/inside");
    EXPECT_FALSE(write_file_atomically(blocked, "x", 1));
    EXPECT_TRUE(std::filesystem::is_directory(env.folder() + "/blocked/inside"));
    EXPECT_FALSE(write_file_atomically(from_utf8(env.folder() + "/missing/f"), "x", 1));

    for (auto& entry : std::filesystem::directory_iterator(env.folder()))
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
}

namespace {

struct Collector final : FileVisitor {
    std::vector<std::string> seen;
    std::size_t stop_after { 1000 };
    bool file_found(const WString& path) override
    {
        seen.push_back("F " + to_utf8(path));
        return seen.size() < stop_after;
    }
    bool folder_found(const WString& path) override
    {
        seen.push_back("D " + to_utf8(path));
        return seen.size() < stop_after;
    }
};

} // namespace

// Files first, then folders, in name order; "do_not_search" turns the folder pass off; a visitor
// that answers false stops the whole scan.
TEST(FindFiles, visits_files_then_folders)
{
    test::TestEnvironment env;
    namespace fs = std::filesystem;
    fs::create_directories(env.folder() + "/skins/sub");
    for (const char* name :
        { "/skins/b.skin", "/skins/a.SKIN", "/skins/c.bmp", "/skins/sub/d.skin" })
        std::ofstream(env.folder() + name) << "x";
    WString root = from_utf8(env.folder() + "/skins");
    std::string r = env.folder() + "/skins";

    Collector flat;
    EXPECT_TRUE(find_files(flat, root, u"*.skin", u"do_not_search", false));
    EXPECT_EQ(flat.seen, (std::vector<std::string> { "F " + r + "/a.SKIN", "F " + r + "/b.skin" }));

    Collector deep;
    find_files(deep, root, u"*.skin", u"*", true);
    EXPECT_EQ(deep.seen,
        (std::vector<std::string> { "F " + r + "/a.SKIN", "F " + r + "/b.skin", "D " + r + "/sub",
            "F " + r + "/sub/d.skin" }));

    Collector stopped;
    stopped.stop_after = 1;
    EXPECT_TRUE(find_files(stopped, root, u"*", u"*", true));
    EXPECT_EQ(stopped.seen.size(), 1u);

    Collector missing;
    EXPECT_TRUE(find_files(missing, u"/nonexistent/folder", u"*", u"*", true));
    EXPECT_TRUE(missing.seen.empty());
}

TEST(Clipboard, unicode_text_round_trip_and_odd_sizes)
{
    write_clipboard_text(u"--START-OF-TICKET--Задача--END-OF-TICKET--");
    EXPECT_EQ(read_clipboard_text(), WString(u"--START-OF-TICKET--Задача--END-OF-TICKET--"));
    // Foreign data without a terminating zero and with an odd byte count.
    ASSERT_TRUE(platform_clipboard().set(13, { 'h', 0, 'i', 0, '!' }, true));
    EXPECT_EQ(read_clipboard_text(), WString(u"hi"));
    ASSERT_TRUE(platform_clipboard().set(1, { 'x' }, true));
    EXPECT_FALSE(read_clipboard_text());
    ClipboardReader plain(ClipboardFormat::Text);
    EXPECT_EQ(plain.size(), 1u);
}
