#include "device/app/tests/ProcessSupport.h"
#include "device/shell/AppInfo.h"
#include "testing/PrivateDisplay.h"
#include "testing/XSession.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>

// The sanitizer build checks for leaks at exit; the font-matching and desktop-bus libraries keep
// allocations of their own until then, which are not ours to free.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\nleak:libdbus-1.so\n";
}

using namespace corvane;
using namespace corvane::test;

static const std::string app_info_message = to_utf8(app_info.message);

// Missing data ends the start with a message (on standard error when headless) and status 0,
// after as much of the start as the data allows, and with "Log" set the log holds the start-up
// lines. Without the splash skin the message names both places data may live, so a broken
// installation can be told apart; without a language the splash shows first (and its frame can
// be written out); with a language but no main skin the message is its "NoSkins" text.
// --help and --version answer without starting; an unknown option is an error with code 2.
TEST(ProgramStart, missing_data_ends_with_a_message_and_status_0)
{
    struct Case {
        int installed; // 0 nothing, 1 the splash, 2 the splash and a language
        std::vector<const char16_t*> logged; // in this order
        const char16_t* not_logged;
    };
    const Case cases[] = {
        { 0,
            { u" WinMain 0\n", u"Application::show_running_instance_open_bracket cmd_line=\n",
                u" WinMain 1\n", u" GameBase 0\n", u" GameBase 1\n", u" GameBase 2\n",
                u" GameBase 3\n", u" GameBase 4\n", u" GameBase 5\n",
                u"Application::Application() this=", u"Properties::load_skin 1\n",
                u"Application::~Application()\n" },
            u" WinMain 2\n" },
        { 1, { u" WinMain 5\n", u" WinMain splash 0\n", u"Application::~Application()\n" },
            u" WinMain splash 1\n" },
        { 2, { u" WinMain splash 0\n", u" WinMain splash 1\n" }, u" WinMain splash 2\n" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.installed);
        ProgramFolder folder;
        if (c.installed > 0)
            folder.install_splash();
        if (c.installed > 1)
            folder.write_language("english", "NoSkins=No skins, please reinstall\n");
        std::string frame = (folder.root() / "frame.bmp").string();
        std::vector<std::string> arguments = { "--headless" };
        if (c.installed == 1)
            arguments.insert(arguments.end(), { "--dump-frame", frame });
        ProgramRun run(folder, "first", arguments);
        EXPECT_EQ(run.wait_exit(), 0);
        const std::string messages[]
            = { "corvane: no skins/bin/splash.skin in " + (folder.root() / "app").string() + " and "
                      + (folder.root() / "share/corvane").string() + "\n" + app_info_message,
                  app_info_message, "No skins, please reinstall\n" };
        EXPECT_EQ(run.errors(), messages[c.installed]);
        std::u16string log = run.log();
        EXPECT_TRUE(appear_in_order(log, c.logged)) << to_utf8(log);
        EXPECT_EQ(log.find(c.not_logged), std::u16string::npos);
        // The log starts with the two tick counts of the first line.
        EXPECT_TRUE(!log.empty() && log[0] >= u'0' && log[0] <= u'9');
        if (c.installed == 1) {
            std::string bytes = read_file(frame);
            ASSERT_EQ(bytes.size(), 70u + 480u * 640u * 2u);
            EXPECT_EQ(bytes.substr(0, 2), "BM");
        }
    }

    ProgramFolder folder;
    ProgramRun help(folder, "help", { "--help" });
    EXPECT_EQ(help.wait_exit(), 0);
    ProgramRun version(folder, "version", { "--version" });
    EXPECT_EQ(version.wait_exit(), 0);
    EXPECT_EQ(version.output(), "Corvane " + to_utf8(app_info.version) + "\n");
    ProgramRun bad(folder, "bad", { "--headless", "--rotation", "9" });
    EXPECT_EQ(bad.wait_exit(), 2);
    EXPECT_NE(bad.errors().find("--rotation"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(folder.root() / "tmp-bad/corvane.txt"));
}

// With skins and a language the splash shows, loads after eight frames, and closes; a second
// start hands its command line over and exits with 0, and the first comes to the front, also
// after a scripted run in between. A lock file and a socket left by a crashed instance neither
// stop nor hang the first start, which then serves the hand-over itself. A build tree keeps
// everything beside the program, even when a share folder exists.
TEST(ProgramStart, second_instance_hands_over_its_command_line)
{
    ProgramFolder folder;
    folder.install_everything();
    std::filesystem::create_directories(folder.root() / "share/corvane");
    std::ofstream(folder.runtime() / "VellumClass_Corvane") << "12345\n";
    {
        int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        std::string path = (folder.runtime() / "VellumClass_Corvane.socket").string();
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        close(fd); // bound, never listened on, not removed: what a crash leaves
    }
    ProgramRun first(folder, "first", { "--headless" });
    ASSERT_TRUE(first.wait_for_log(u" WinMain splash 4\n"))
        << to_utf8(first.log()) << first.errors();
    EXPECT_EQ(first.log().find(u"EnumProc"), std::u16string::npos);
    EXPECT_TRUE(appear_in_order(first.log(),
        { u" WinMain 1\n", u" WinMain 2\n", u" WinMain 5\n", u" WinMain splash 0\n",
            u" WinMain splash 1\n", u" WinMain splash 2\n", u" WinMain splash 3\n",
            u" WinMain splash 4\n" }));

    ProgramRun second(folder, "second", { "--headless", "open", "task 7" });
    ASSERT_EQ(second.wait_exit(), 0);
    std::u16string second_log = second.log();
    EXPECT_TRUE(appear_in_order(second_log,
        { u"Application::show_running_instance_open_bracket cmd_line=open \"task 7\"\n",
            (u"Application::EnumProc window found hwnd="
                + to_wstring(static_cast<std::int64_t>(first.pid())) + u" 1\n")
                .c_str(),
            u"Application::EnumProc window found 2\n" }))
        << to_utf8(second_log);
    // The second instance created nothing.
    EXPECT_EQ(second_log.find(u" WinMain 1\n"), std::u16string::npos);
    EXPECT_TRUE(first.wait_for_log(
        u"GameBase WM_COPYDATA cmd_line=open \"task 7\"\nGameBase::bring_to_front\n"))
        << to_utf8(first.log());

    // A scripted run is a tool: it leaves the running instance's socket alone, both while it
    // runs and when it ends, so the next start still hands over.
    std::ofstream(folder.root() / "quit.txt") << "quit\n";
    ProgramRun tool(
        folder, "tool", { "--headless", "--script", (folder.root() / "quit.txt").string() });
    ASSERT_EQ(tool.wait_exit(), 0) << tool.errors();
    EXPECT_EQ(tool.log().find(u"EnumProc"), std::u16string::npos);
    ProgramRun third(folder, "third", { "--headless" });
    ASSERT_EQ(third.wait_exit(), 0);
    EXPECT_TRUE(first.wait_for_log(u"GameBase WM_COPYDATA cmd_line=\nGameBase::bring_to_front\n"));

    EXPECT_TRUE(first.is_running());
    first.terminate();
    EXPECT_EQ(first.wait_exit(), 0);
    EXPECT_NE(first.log().find(u"Application::~Application()\n"), std::u16string::npos);
    // The socket goes with the instance; the lock file stays for the next one.
    EXPECT_FALSE(std::filesystem::exists(folder.runtime() / "VellumClass_Corvane.socket"));
    EXPECT_TRUE(std::filesystem::exists(folder.runtime() / "VellumClass_Corvane"));
    EXPECT_FALSE(std::filesystem::exists(folder.root() / "data/corvane"));
}

// Two instances started at the same moment: whichever takes the start-up lock first runs, the
// other waits until that one's window exists, hands over and exits.
TEST(ProgramStart, simultaneous_starts_end_with_one_instance)
{
    ProgramFolder folder;
    folder.install_everything();
    ProgramRun a(folder, "a", { "--headless", "from-a" });
    ProgramRun b(folder, "b", { "--headless", "from-b" });
    wait_until([&] { return !a.is_running() || !b.is_running(); });
    bool a_left = !a.is_running();
    ASSERT_NE(a_left, !b.is_running()) << "exactly one instance must remain";
    ProgramRun& survivor = a_left ? b : a;
    ProgramRun& leaver = a_left ? a : b;
    EXPECT_EQ(leaver.wait_exit(), 0);
    EXPECT_NE(leaver.log().find(u"Application::EnumProc window found 2\n"), std::u16string::npos);
    EXPECT_TRUE(survivor.wait_for_log(a_left ? u"cmd_line=from-a\n" : u"cmd_line=from-b\n"));
    survivor.terminate();
    EXPECT_EQ(survivor.wait_exit(), 0);
}

// A second start while the running instance shows a message box brings the box forward and
// exits, handing nothing over: the instance could not read a command line until the box is
// answered. Only a real X server shows the box.
TEST(ProgramStart, second_instance_brings_the_message_box_forward)
{
    PrivateDisplay x;
    if (!x.start())
        GTEST_SKIP() << "Xvfb could not be started: the message box needs a real X server";
    std::unique_ptr<XSession> display = XSession::open(x.name());
    ASSERT_TRUE(display) << x.name();
    std::map<std::string, std::string> on_x
        = { { "DISPLAY", x.name() }, { "SDL_VIDEODRIVER", "x11" } };
    ProgramFolder folder;
    folder.install_splash(); // and no language, so the splash ends in a message box

    ProgramRun first(folder, "first", {}, on_x);
    std::optional<XSession::Dialog> box;
    wait_until(
        [&] { return (box = display->dialog_of(first.pid(), "Corvane")) || !first.is_running(); });
    ASSERT_TRUE(box) << to_utf8(first.log()) << first.errors();
    // The main window has the focus, so only the second start can move it to the box.
    ASSERT_EQ(display->input_focus(), box->owner);

    ProgramRun second(folder, "second", { "again" }, on_x);
    ASSERT_EQ(second.wait_exit(), 0) << second.errors();
    std::u16string log = second.log();
    EXPECT_NE(log.find(u"Application::EnumProc window found 2\n"), std::u16string::npos)
        << to_utf8(log);
    EXPECT_EQ(log.find(u"hwnd="), std::u16string::npos) << to_utf8(log);
    EXPECT_EQ(log.find(u" WinMain 1\n"), std::u16string::npos);
    EXPECT_EQ(display->input_focus(), box->window);
    EXPECT_TRUE(first.is_running());
}

// Installed, the program takes its data from ../share/corvane and writes its cache to an
// owner-only folder under $XDG_DATA_HOME, never beside itself.
TEST(ProgramStart, installed_layout_reads_share_and_writes_to_data_home)
{
    ProgramFolder folder;
    folder.install_everything();
    folder.move_data_to_share();
    ProgramRun run(folder, "installed", { "--headless" });
    ASSERT_TRUE(run.wait_for_log(u" WinMain splash 4\n")) << to_utf8(run.log()) << run.errors();
    run.terminate();
    EXPECT_TRUE(run.wait_exit().has_value());
    std::filesystem::path user = folder.root() / "data/corvane";
    ASSERT_TRUE(std::filesystem::is_directory(user));
    EXPECT_EQ(std::filesystem::status(user).permissions() & std::filesystem::perms::all,
        std::filesystem::perms::owner_all);
    EXPECT_FALSE(std::filesystem::exists(folder.root() / "app/cache.dat"));
}
