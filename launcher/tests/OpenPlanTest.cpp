#include "launcher/OpenPlan.h"
#include "device/core/testing/TempFolder.h"
#include "launcher/linux/ProcessStarter.h"
#include "testing/ChildProcess.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <sys/wait.h>

using namespace lumbra;
using corvane::test::read_file;
using corvane::test::TempFolder;
using testing::ElementsAre;

namespace {

// A medium folder with a program, a document, and a private search path holding a fake
// xdg-open, so nothing on the machine is opened.
class OpenTest : public testing::Test {
protected:
    OpenTest()
    {
        m_program = medium.write("setup.sh", "#!/bin/sh\n", true);
        medium.write("readme.txt", "read me");
        m_opener = tools.write("bin/xdg-open", "#!/bin/sh\n", true);
        tools.write("bin/corvane-tool", "#!/bin/sh\n", true);
        search_path = "/nonexistent:relative/bin:" + tools.file("bin");
    }

    TempFolder medium;
    TempFolder tools;
    std::string search_path;
    std::string m_program;
    std::string m_opener;
};

} // namespace

TEST(CommandLine, splitting)
{
    EXPECT_THAT(split_command_line("  -a  \"two words\" x\"y z\"  "),
        ElementsAre("-a", "two words", "xy z"));
    EXPECT_THAT(split_command_line("\"\" \\\"quoted\\\""), ElementsAre("", "\"quoted\""));
    EXPECT_THAT(split_command_line("C:\\path\\file.ini"), ElementsAre("C:\\path\\file.ini"));
    EXPECT_TRUE(split_command_line(" \t ").empty());
    EXPECT_THAT(split_command_line("\"unterminated here"), ElementsAre("unterminated here"));
}

// Program paths run directly with their parameters; relative ones come from the current
// folder, and "\" separators are read as "/".
TEST_F(OpenTest, programs_start_directly_and_the_rest_through_xdg_open)
{
    OpenPlan plan = plan_open(
        { "open", "setup.sh", "\"Corvane.ini\" -q", "work" }, medium.path(), search_path);
    EXPECT_TRUE(plan.error.empty());
    EXPECT_THAT(plan.argv, ElementsAre(m_program, "Corvane.ini", "-q"));
    EXPECT_EQ(plan.working_folder, "work");

    plan = plan_open({ "", ".\\setup.sh", "", "" }, medium.path(), search_path);
    EXPECT_THAT(plan.argv, ElementsAre(medium.path() + "/./setup.sh"));
    plan = plan_open({ "OPEN", "corvane-tool", "x", "" }, medium.path(), search_path);
    EXPECT_THAT(plan.argv, ElementsAre(tools.file("bin/corvane-tool"), "x"));

    // Documents, folders and URLs go to xdg-open; parameters do not apply to them.
    EXPECT_THAT(plan_open({ "open", "readme.txt", "-x", "" }, medium.path(), search_path).argv,
        ElementsAre(m_opener, medium.path() + "/readme.txt"));
    EXPECT_THAT(plan_open({ "explore", medium.path(), "", "" }, "/", search_path).argv,
        ElementsAre(m_opener, medium.path()));
    EXPECT_THAT(plan_open({ "open", "https://example.org/", "", "" }, "/", search_path).argv,
        ElementsAre(m_opener, "https://example.org/"));
}

// What cannot be opened is said so, and nothing is planned.
TEST_F(OpenTest, failures_are_explained)
{
    auto error_of = [&](OpenRequest request, std::string path) {
        OpenPlan plan = plan_open(request, medium.path(), path);
        EXPECT_TRUE(plan.argv.empty());
        return plan.error;
    };
    EXPECT_NE(error_of({ "open", "missing.exe", "", "" }, search_path).find("does not exist"),
        std::string::npos);
    EXPECT_NE(
        error_of({ "print", "readme.txt", "", "" }, search_path).find("print"), std::string::npos);
    EXPECT_NE(error_of({ "open", "readme.txt", "", "" }, "/nonexistent").find("xdg-open"),
        std::string::npos);
    EXPECT_EQ(error_of({ "open", "", "", "" }, search_path), "nothing to open");
}

// A started program gets its arguments and working folder, and is not left as a zombie; one
// that cannot start is an error.
TEST_F(OpenTest, started_program_runs_in_its_folder_or_fails_loudly)
{
    std::string output = medium.file("out.txt");
    medium.write("record.sh",
        "#!/bin/sh\nprintf '%s|' \"$PWD\" \"$@\" > \"" + output + ".part\"\nmv \"" + output
            + ".part\" \"" + output + "\"\n",
        true);
    std::filesystem::create_directory(medium.file("work"));
    OpenPlan plan = plan_open({ "open", "record.sh", "\"two words\" x", medium.file("work") },
        medium.path(), search_path);
    std::string error;
    ASSERT_TRUE(start_process(plan, error)) << error;
    // The script renames its output into place, so the file is whole once it exists.
    ASSERT_TRUE(corvane::test::wait_until(
        [&] { return std::filesystem::exists(output); }, std::chrono::seconds(5)));
    EXPECT_EQ(read_file(output), medium.file("work") + "|two words|x|");
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);

    // Start failures come back as errors instead of a silent success.
    error.clear();
    plan = plan_open(
        { "open", "setup.sh", "", medium.file("no such folder") }, medium.path(), search_path);
    EXPECT_FALSE(start_process(plan, error));
    EXPECT_FALSE(error.empty());

    // A script whose interpreter is missing cannot be executed.
    medium.write("broken.sh", "#!/nonexistent/shell\n", true);
    error.clear();
    EXPECT_FALSE(start_process(
        plan_open({ "open", "broken.sh", "", "" }, medium.path(), search_path), error));
    EXPECT_FALSE(error.empty());

    error.clear();
    EXPECT_FALSE(start_process(OpenPlan { {}, {}, "the reason" }, error));
    EXPECT_EQ(error, "the reason");
}
