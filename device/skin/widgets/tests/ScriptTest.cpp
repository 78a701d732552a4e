#include "WidgetTestSupport.h"

#include "device/app/ScriptDriver.h"

#include <fstream>

using namespace corvane;
using namespace corvane::test;

namespace {

struct ScriptRun {
    int code { -1 };
    std::string output;
};

// Runs the real program on the widget test skin, headless at 240 x 320, with a script.
class Scripts : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string errors;
        skin = compile_widget_test_skin(env.folder(), errors);
        ASSERT_FALSE(skin.empty()) << errors;
        std::filesystem::create_directories(env.folder() + "/runtime");
        std::filesystem::permissions(env.folder() + "/runtime", std::filesystem::perms::owner_all,
            std::filesystem::perm_options::replace);
    }

    ScriptRun play(const std::string& script, const std::string& node = "Widgets")
    {
        std::string file = env.folder() + "/script.txt";
        std::ofstream(file, std::ios::binary) << script;
        std::string command = "cd '" + env.folder() + "' && TMPDIR='" + env.folder()
            + "' XDG_RUNTIME_DIR='" + env.folder() + "/runtime' CORVANE_REGISTRY='" + env.folder()
            + "/registry.txt' '" + CORVANE_BINARY
            + "' --headless --display 240x320 --dpi 96 --preview '" + skin + "' " + node
            + " --script '" + file + "'";
        ScriptRun run;
        int status = run_command(command, run.output);
        run.code = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return run;
    }

    bool is_png(const std::string& name)
    {
        std::vector<std::uint8_t> bytes = read_bytes(env.folder() + "/" + name);
        return bytes.size() > 8 && bytes[0] == 0x89 && bytes[1] == 'P' && bytes[2] == 'N'
            && bytes[3] == 'G';
    }

    TestEnvironment env;
    std::string skin;
};

} // namespace

// The whole tour: type into an edit, fling the list to its end and back, turn the day drum
// across the end of January, open the menu and pick an item from a submenu, take screenshots.
TEST_F(Scripts, TourOfTheWidgets)
{
    ScriptRun run = play(R"(# the edit
expect_screen Widgets
expect_visible name/#text
tap name/#edit
type Hello world
expect_text name/#edit Hello world
press Backspace
release Backspace
expect_text name/#edit Hello worl
wait_for name/#text hidden
expect_visible name/clear
# the list
tap list/@2
expect_text status Activated 2
fling list -300
wait 3
fling list -300
wait 3
fling list -300
wait 3
expect_visible list/@49
fling list 300
wait 3
fling list 300
wait 3
fling list 300
wait 3
expect_visible list/@0
shot first.png
# the date: one day on from 31 January
drag day 0 -20 0.5
wait 2
expect_text status 2024-02-01 23:00
# the menu
tap menu_button
wait_for vlist visible
tap vlist/@1
wait 1
tap vlist/@0
wait_for vlist hidden
expect_text status Picked Inner
shot second.png
)");
    EXPECT_EQ(run.code, 0) << run.output;
    EXPECT_TRUE(is_png("first.png"));
    EXPECT_TRUE(is_png("second.png"));
}

// A failed expectation ends the run with status 3 and names the script line, as does a tap on
// a missing id or on a hidden element (the tap would land on whatever lies at its place);
// Backspace on the open menu cancels it. A line that cannot be parsed stops the script with
// status 2 before anything runs; a skin node that cannot be shown ends the preview with 1.
TEST_F(Scripts, FailuresNameTheLine)
{
    const struct {
        const char* script;
        const char* node;
        int code;
        const char* message;
    } cases[] = {
        { "wait 0.1\nexpect_text status something else\nquit\n", "Widgets", 3,
            "script.txt:2: expect_text" },
        { "tap menu_button\nwait_for vlist visible\npress Backspace\nwait_for vlist hidden\n"
          "expect_text status Menu cancelled\ntap nowhere\n",
            "Widgets", 3, ":6: tap: no element \"nowhere\"" },
        { "wait 0.1\ntap clear\n", "Widgets", 3, ":2: tap: \"clear\" is not shown" },
        { "wait 1\nwait soon\n", "Widgets", 2, "script.txt:2:" },
        { "fling list\n", "Widgets", 2, "script.txt:1:" },
        { "press NoSuchKey\n", "Widgets", 2, "script.txt:1:" },
        { "teleport here\n", "Widgets", 2, "script.txt:1:" },
        { "quit\n", "NoSuchNode", 1, "NoSuchNode" },
    };
    for (const auto& c : cases) {
        ScriptRun run = play(c.script, c.node);
        EXPECT_EQ(run.code, c.code) << c.script << run.output;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << c.script << run.output;
    }
}

// The parser keeps the spaces of texts and skips comments and blank lines.
TEST(ScriptParser, TextsAndComments)
{
    std::vector<ScriptDriver::Command> commands;
    std::string error;
    ASSERT_TRUE(ScriptDriver::parse(
        "# comment\n\n  type two  words\nexpect_text a/b x  y\nwait_for id hidden\r\n", commands,
        error))
        << error;
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(commands[0].line, 3u);
    EXPECT_EQ(commands[0].rest, "two  words");
    EXPECT_EQ(commands[1].rest, "x  y");
    EXPECT_EQ(commands[2].words[1], "hidden");
    EXPECT_FALSE(ScriptDriver::parse("wait_for id sometimes\n", commands, error));
    EXPECT_EQ(error.rfind("1:", 0), 0u);
}
