#include "launcher/Launcher.h"
#include "launcher/Text.h"
#include "launcher/tests/LauncherSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace lumbra;
using namespace lumbra::test;
using testing::ElementsAre;

namespace {

constexpr std::u16string_view version_key = u"Software\\Microsoft\\Windows\\CurrentVersion";

} // namespace

// A visible launcher carrying the property is raised, and no second window opens; a hidden
// one does not count: a second launcher opens and marks its own window before showing it.
TEST(Launcher, running_launcher_is_raised_only_when_visible)
{
    TempFolder medium;
    medium.write("Lumbra.ini",
        crlf("[settings]\nWindowProperty=LumbraRunning\n[layout]\nwidth=10\nheight=10\n"));
    for (bool visible : { true, false }) {
        FakePlatform platform;
        platform.running_property = "LumbraRunning";
        platform.running_window = 77;
        platform.running_visible = visible;
        Launcher launcher(platform, medium.path() + "/");
        if (visible) {
            EXPECT_EQ(launcher.start(), Launcher::Start::RaisedRunningLauncher);
            EXPECT_THAT(
                platform.log, ElementsAre("cd " + medium.path(), "find LumbraRunning", "raise 77"));
        } else {
            EXPECT_EQ(launcher.start(), Launcher::Start::WindowOpened);
            EXPECT_THAT(platform.log,
                ElementsAre("cd " + medium.path(), "find LumbraRunning", "create window",
                    "property LumbraRunning", "frameless at origin", "size 10x10", "shape",
                    "show"));
        }
    }

    // Without "WindowProperty" there is no single-instance check and no marker.
    medium.write("Lumbra.ini", crlf("[ui_index]\ndefault=index.html\n"));
    FakePlatform platform;
    Launcher launcher(platform, medium.path());
    EXPECT_EQ(launcher.start(), Launcher::Start::WindowOpened);
    for (const std::string& line : platform.log) {
        EXPECT_NE(line.rfind("find", 0), 0u) << line;
        EXPECT_NE(line.rfind("property", 0), 0u) << line;
    }
    EXPECT_EQ(platform.log.back(), "show");
}

// Macro folders: the program folder without its trailing separator, Program Files from the
// registry, and Common Files below it when the registry has none.
TEST(Launcher, macro_folders)
{
    TempFolder medium;
    medium.write("Lumbra.ini", crlf("[m]\nall=$app.path$|$program files$|$common files$\n"));
    FakePlatform platform;
    platform.set_registry(RegistryRoot::LocalMachine, std::u16string(version_key),
        u"ProgramFilesDir", u"/srv/programs");
    Launcher launcher(platform, medium.path() + "/");
    (void)launcher.start();
    EXPECT_EQ(to_utf8(launcher.options().GetValue(u"m", u"all")),
        medium.path() + "|/srv/programs|/srv/programs/Common Files");

    FakePlatform with_common;
    with_common.set_registry(
        RegistryRoot::LocalMachine, std::u16string(version_key), u"CommonFilesDir", u"/srv/common");
    Launcher second(with_common, medium.path());
    (void)second.start();
    EXPECT_EQ(to_utf8(second.options().GetValue(u"m", u"all")), medium.path() + "||/srv/common");
}

// The window's clicks reach the form only from the hooked frames.
TEST(Launcher, clicks_from_unhooked_frames_are_ignored)
{
    TempFolder medium;
    medium.write("Lumbra.ini", crlf("[btnClose]\nclose=1\n"));
    FakePlatform platform;
    Launcher launcher(platform, medium.path());
    ASSERT_EQ(launcher.start(), Launcher::Start::WindowOpened);
    ASSERT_TRUE(platform.window && platform.window->click_handler);
    platform.log.clear();
    EXPECT_TRUE(platform.window->click_handler({ frmStart::hooked_frame_count, u"btnClose" }));
    EXPECT_TRUE(platform.log.empty());
    EXPECT_TRUE(platform.window->click_handler({ frmStart::hooked_frame_count - 1, u"btnClose" }));
    EXPECT_THAT(platform.log, ElementsAre("close"));
}

// The medium's folder is the program's when "Lumbra.ini" lies beside it, else the current
// folder when that has one.
TEST(Launcher, program_folder_choice)
{
    TempFolder with_ini;
    with_ini.write("Lumbra.ini", "");
    TempFolder without;
    EXPECT_EQ(choose_program_folder(with_ini.path(), without.path()), with_ini.path());
    EXPECT_EQ(choose_program_folder(without.path(), with_ini.path()), with_ini.path());
    EXPECT_EQ(choose_program_folder(without.path(), without.path() + "/none"), without.path());
}
