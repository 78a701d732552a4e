// The real lumbra program under X: its window, its pages in WebKitGTK and the clicks that a
// user makes, sent through XTest. Each test skips when there is no display.

#include "launcher/tests/LauncherSupport.h"
#include "testing/ChildProcess.h"
#include "testing/XSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <tuple>
#include <unistd.h>

using namespace lumbra::test;
using corvane::test::ChildProcess;
using corvane::test::wait_until;
using corvane::test::XSession;
using corvane::test::XWindow;
using namespace std::chrono_literals;

namespace {

constexpr int frame_width = 100;
constexpr int window_width = 8 * frame_width;
constexpr int window_height = 200;

// Page element that fills its frame, so a click anywhere in the frame lands on it.
std::string filling_element(const std::string& id)
{
    return "<!DOCTYPE html><html><body style=\"margin:0\"><div id=\"" + id
        + "\" style=\"position:absolute;inset:0;background:#e8eef4\">" + id
        + "</div></body></html>";
}

// A medium whose start page is a frameset of eight frames side by side, frame i holding the
// element "f<i>". Clicking an element whose section has "shellexecute=$app.path$/mark.sh"
// appends its cmd_line to marks.txt.
class LumbraWindowTest : public testing::Test {
protected:
    void SetUp() override
    {
        const char* display = std::getenv("DISPLAY");
        if (!display || !*display)
            GTEST_SKIP() << "no X display (DISPLAY is not set)";
        x = XSession::open();
        ASSERT_TRUE(x) << "cannot connect to the X display " << display;
        property = "LumbraTest" + std::to_string(getpid()) + "_"
            + testing::UnitTest::GetInstance()->current_test_info()->name();

        medium.write(
            "mark.sh", "#!/bin/sh\necho \"$1\" >> \"" + medium.file("marks.txt") + "\"\n", true);
        std::string frames = "<!DOCTYPE html><html><frameset cols=\"";
        for (int i = 0; i < 8; ++i) {
            frames += (i ? "," : "") + std::to_string(frame_width);
            medium.write(
                "f" + std::to_string(i) + ".html", filling_element("f" + std::to_string(i)));
        }
        frames += "\" frameborder=\"0\" border=\"0\" framespacing=\"0\">";
        for (int i = 0; i < 8; ++i)
            frames += "<frame src=\"f" + std::to_string(i) + ".html\" scrolling=\"no\">";
        medium.write("frames.html", frames + "</frameset></html>");
        medium.write("registry.reg", "");
    }

    // Lumbra.ini: the test's own property and layout, `extra` settings, and marks for every
    // frame element that `extra` has no section for (only the first section of a name counts).
    void write_settings(const std::string& start_page, const std::string& extra = "")
    {
        std::string ini = "[settings]\nWindowProperty=" + property + "\n[layout]\nwidth="
            + std::to_string(window_width) + "\nheight=" + std::to_string(window_height)
            + "\nround=20\n[ui_index]\ndefault=$app.path$/" + start_page + "\n" + extra;
        for (int i = 0; i < 8; ++i) {
            ini += "[f" + std::to_string(i) + "]\nshellexecute=$app.path$/mark.sh\ncmd_line=f"
                + std::to_string(i) + "\n";
        }
        medium.write("Lumbra.ini", crlf(ini));
    }

    // The real program in the medium folder, in its own group so that WebKit's helpers go too.
    std::unique_ptr<ChildProcess> start()
    {
        corvane::test::Launch launch;
        launch.arguments = { LUMBRA_EXECUTABLE };
        launch.environment
            = { { "LUMBRA_REGISTRY", medium.file("registry.reg") }, { "LC_ALL", "C.UTF-8" } };
        launch.directory = medium.path();
        launch.output_file = launch.error_file = medium.file("lumbra.log");
        launch.own_group = true;
        auto process = std::make_unique<ChildProcess>(launch);
        EXPECT_TRUE(process->started());
        return process;
    }

    // The launcher window of `process`, once it is on the screen.
    std::optional<XWindow> window_of(ChildProcess& process)
    {
        std::optional<XWindow> found;
        wait_until(
            [&] {
                for (XWindow w : x->windows_with_property(property, process.pid())) {
                    if (x->is_viewable(w))
                        found = w;
                }
                return found.has_value();
            },
            20s);
        return found;
    }

    bool has_mark(const std::string& mark) const
    {
        return ("\n" + read_file(medium.file("marks.txt"))).find("\n" + mark + "\n")
            != std::string::npos;
    }

    // Clicks the middle of frame `frame` until `mark` appears: the first clicks may come
    // before the page has loaded.
    bool click_frame_until_marked(int frame, const std::string& mark)
    {
        return wait_until(
            [&] {
                x->click(frame * frame_width + frame_width / 2, window_height / 2);
                return wait_until([&] { return has_mark(mark); }, 400ms);
            },
            20s);
    }

    // Whether some started mark.sh has not ended yet.
    bool mark_script_running() const
    {
        std::string script = medium.file("mark.sh");
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
            std::string command = read_file(entry.path().string() + "/cmdline");
            if (command.find(script) != std::string::npos)
                return true;
        }
        return false;
    }

    std::string log() const { return read_file(medium.file("lumbra.log")); }

    std::unique_ptr<XSession> x;
    std::string property;
    TempFolder medium;
};

} // namespace

// A page without frames has no hooked body: its element's settings never run, while its own
// link still works and leads to the frameset. That is one launcher window with eight frames: it
// sits at the origin without decorations, in the shape that "layout" gives; the first six
// frames react to clicks and the last two do not; a right click in a hooked frame opens no
// context menu, while in an unhooked one WebKit's menu does open, which shows the check would
// see one. The application manager is started from its registered path with the quoted
// argument in the medium's folder; a target that cannot be opened shows the element's "fail"
// page.
TEST_F(LumbraWindowTest, frameset_window)
{
    medium.write("single.html",
        "<!DOCTYPE html><html><body style=\"margin:0\"><a id=\"single\" href=\"frames.html\" "
        "style=\"position:absolute;inset:0\">to the frames</a></body></html>");
    medium.write("tools/ceappmgr",
        "#!/bin/sh\nprintf '%s|' \"$PWD\" \"$@\" > \"" + medium.file("appmgr.txt") + "\"\n", true);
    medium.write("registry.reg",
        "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\"
        "CEAPPMGR.EXE]\n@=\""
            + medium.file("tools/ceappmgr") + "\"\n");
    medium.write("failed.html",
        "<!DOCTYPE html><html><frameset cols=\"*\"><frame src=\"failframe.html\"></frameset>"
        "</html>");
    medium.write("failframe.html", filling_element("failmark"));
    write_settings("single.html",
        "[single]\nshellexecute=$app.path$/mark.sh\ncmd_line=single\n"
        "[f1]\nceappmgr=Corvane Setup.ini\n"
        "[f3]\nshellexecute=$app.path$/no such program\nfail=ui_fail\n"
        "[failmark]\nshellexecute=$app.path$/mark.sh\ncmd_line=failed\n"
        "[ui_fail]\ndefault=failed.html\n");
    auto lumbra = start();
    std::optional<XWindow> window = window_of(*lumbra);
    ASSERT_TRUE(window) << log();
    XSession::Geometry g = x->geometry(*window);
    EXPECT_EQ(std::tuple(g.x, g.y, g.width, g.height),
        std::tuple(0, 0, unsigned(window_width), unsigned(window_height)));
    // The outline's own rules are the shape's unit tests; here it has to reach the X server.
    EXPECT_TRUE(x->shape_contains(*window, 400, 100));
    EXPECT_FALSE(x->shape_contains(*window, 3, 3));
    EXPECT_TRUE(x->shape_contains(*window, window_width - 4, 2));

    ASSERT_TRUE(click_frame_until_marked(2, "f2")) << log();
    for (int frame : { 6, 7, 0, 5 })
        x->click(frame * frame_width + 50, 100);
    ASSERT_TRUE(wait_until([&] { return has_mark("f0") && has_mark("f5"); }, 10s)) << log();
    // The clicks on frames 6 and 7 came first, and a program is started only once the one
    // before it has been executed: once every started mark.sh has ended, their marks would be
    // there.
    ASSERT_TRUE(wait_until([&] { return !mark_script_running(); }, 10s));
    EXPECT_FALSE(has_mark("f6"));
    EXPECT_FALSE(has_mark("f7"));
    EXPECT_FALSE(has_mark("single"));

    int popups = x->mapped_popup_count();
    x->click(1 * frame_width + 50, 100, 3);
    EXPECT_FALSE(wait_until([&] { return x->mapped_popup_count() > popups; }, 1500ms));
    x->click(7 * frame_width + 50, 100, 3);
    EXPECT_TRUE(wait_until([&] { return x->mapped_popup_count() > popups; }, 10s));
    x->press_key("Escape");
    ASSERT_TRUE(wait_until([&] { return x->mapped_popup_count() == popups; }, 10s));

    x->click(1 * frame_width + 50, 100);
    ASSERT_TRUE(wait_until([&] { return !read_file(medium.file("appmgr.txt")).empty(); }, 10s))
        << log();
    EXPECT_EQ(read_file(medium.file("appmgr.txt")), medium.path() + "|Corvane Setup.ini|");
    // Until the fail page has replaced the frameset, clicks on the left land in frame 0.
    x->click(3 * frame_width + 50, 100);
    EXPECT_TRUE(click_frame_until_marked(0, "failed")) << log();
    EXPECT_NE(log().find("no such program"), std::string::npos) << log();
    EXPECT_TRUE(lumbra->is_running());
}

// A second start while the first launcher is visible raises the first and ends; while the
// first's window is hidden it opens a second launcher, and an element with "close" ends that.
TEST_F(LumbraWindowTest, second_start_and_close)
{
    write_settings("frames.html", "[f4]\nclose=1\n");
    auto first = start();
    std::optional<XWindow> window = window_of(*first);
    ASSERT_TRUE(window) << log();
    XWindow cover = x->create_cover(0, 0, 300, 300);
    auto position = [&](XWindow w) {
        auto order = x->stacking_order();
        return std::find(order.begin(), order.end(), w) - order.begin();
    };
    ASSERT_LT(position(*window), position(cover));
    EXPECT_EQ(start()->wait_exit(20s), 0) << log();
    EXPECT_GT(position(*window), position(cover));
    EXPECT_EQ(x->windows_with_property(property).size(), 1u);
    x->destroy(cover);

    x->unmap(*window);
    ASSERT_TRUE(wait_until([&] { return !x->is_viewable(*window); }, 5s));
    auto second = start();
    ASSERT_TRUE(window_of(*second)) << log();
    EXPECT_EQ(x->windows_with_property(property).size(), 2u);
    std::optional<int> code;
    wait_until(
        [&] {
            x->click(4 * frame_width + 50, 100);
            code = second->wait_exit(400ms);
            return code.has_value();
        },
        20s);
    EXPECT_EQ(code, 0) << log();
    EXPECT_TRUE(first->is_running());
}
