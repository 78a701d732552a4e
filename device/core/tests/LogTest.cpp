#include "device/core/Log.h"
#include "common/base/DebugTrace.h"
#include "device/core/Paths.h"
#include "device/core/Registry.h"
#include "device/core/testing/LogFile.h"
#include "device/core/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

using namespace corvane;
using corvane::test::read_utf16_file;

namespace {

void set_log(std::uint32_t on)
{
    ASSERT_TRUE(reg_write_dword(u"HKEY_CURRENT_USER\\Software\\Ulmar", u"Log", on));
}

} // namespace

// Switching "Log" on starts a fresh file with a byte-order mark; switching it off stops writing;
// switching it on again truncates; no switch leaves a file open behind it; a folder it cannot
// write to loses the lines without harm.
TEST(Log, switches_with_the_setting_while_running)
{
    test::TestEnvironment env;
    std::string path = to_utf8(log_file_path());
    set_log(0);
    get_log() << u"invisible\n";
    EXPECT_FALSE(is_log_enabled());

    set_log(1);
    get_log() << u"one " << 42 << " " << -7 << u" Задача\n";
    EXPECT_TRUE(is_log_enabled());
    get_log().flush();
    EXPECT_EQ(read_utf16_file(path), u"one 42 -7 Задача\n");
    EXPECT_EQ(read_utf16_file(path, 0).size() * 2 + 2, std::filesystem::file_size(path)); // mark

    set_log(0);
    get_log() << u"dropped\n";
    EXPECT_EQ(read_utf16_file(path), u"one 42 -7 Задача\n");

    set_log(1);
    get_log() << u"two\n";
    EXPECT_EQ(read_utf16_file(path), u"two\n");

    // However often it is switched, one descriptor at most stays open on the file.
    for (int i = 0; i < 20; ++i) {
        set_log(static_cast<std::uint32_t>(i % 2));
        (void)get_log();
    }
    int open_on_log = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        open_on_log += std::filesystem::read_symlink(entry.path(), error) == path;
    }
    EXPECT_EQ(open_on_log, 1);
    set_log(0);

    // The code shared with the service has no log of its own: in the device program its trace
    // lands in the debug log, and only while the log is on.
    set_log(1);
    ASSERT_TRUE(has_debug_trace_sink());
    debug_trace(u"shared 1\n");
    get_log().flush();
    EXPECT_EQ(read_utf16_file(path), u"shared 1\n");
    set_log(0);
    debug_trace(u"shared 2\n");
    EXPECT_EQ(read_utf16_file(path), u"shared 1\n");

    // An unwritable log folder gives a stream whose writes do nothing, not a crash.
    (void)get_log();
    setenv("TMPDIR", "/nonexistent/folder", 1);
    set_log(1);
    get_log() << u"lost\n";
    get_log().flush();
    EXPECT_TRUE(is_log_enabled());
    EXPECT_EQ(read_utf16_file(path), u"shared 1\n");
    setenv("TMPDIR", env.folder().c_str(), 1);
    set_log(0);
}

// Threads keep writing while another switches the log: no crash, no torn appends.
TEST(Log, concurrent_writers_survive_switching)
{
    test::TestEnvironment env;
    set_log(1);
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([t] {
            for (int i = 0; i < 200; ++i)
                get_log() << u"[" << t << u":" << i << u"]";
        });
    }
    for (int i = 0; i < 20; ++i)
        set_log(static_cast<std::uint32_t>(i % 2));
    set_log(1);
    for (auto& w : writers)
        w.join();
    get_log() << u"end\n";
    std::u16string text = read_utf16_file(to_utf8(log_file_path()));
    EXPECT_NE(text.find(u"end\n"), std::u16string::npos);
    // Every bracketed append is whole.
    std::size_t opens = 0, closes = 0;
    for (char16_t c : text) {
        opens += c == u'[';
        closes += c == u']';
    }
    EXPECT_EQ(opens, closes);
    set_log(0);
}
