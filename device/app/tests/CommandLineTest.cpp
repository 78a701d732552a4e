#include "device/app/CommandLine.h"

#include <gtest/gtest.h>

using namespace corvane;

// What the options make of the window and the command line, e.g. "240x320 96dpi r3 headless |
// open".
static std::string shape(const std::vector<std::string>& arguments)
{
    std::string error;
    auto options = parse_command_line(arguments, error);
    if (!options)
        return "refused";
    const WindowOptions& w = options->window;
    return std::to_string(w.width) + "x" + std::to_string(w.height) + " " + std::to_string(w.dpi)
        + "dpi r" + std::to_string(w.rotation) + (w.headless ? " headless | " : " window | ")
        + to_utf8(options->command_line());
}

// Without options the program gets a 480x640 display at 192 dpi, upright, in a window. Options
// take their values as the next argument or after "=", and the rest is the command line; "--"
// hands everything after it to the program, even what looks like an option. Without --dpi the
// density follows the display: 96 up to 320 pixels on the short side, in either orientation,
// else 192; a given --dpi always wins.
TEST(CommandLine, options_and_arguments)
{
    const struct {
        std::vector<std::string> arguments;
        std::string shape;
    } cases[] = {
        { {}, "480x640 192dpi r0 window | " },
        { { "--headless", "--display", "240x320", "--dpi=96", "open", "--rotation", "3",
              "two words" },
            "240x320 96dpi r3 headless | open \"two words\"" },
        { { "--", "--headless", "say \"hi\"" },
            "480x640 192dpi r0 window | --headless \"say \\\"hi\\\"\"" },
        { { "--display", "320x240" }, "320x240 96dpi r0 window | " },
        { { "--display", "320x480" }, "320x480 96dpi r0 window | " },
        { { "--display", "321x480" }, "321x480 192dpi r0 window | " },
        { { "--display", "640x480" }, "640x480 192dpi r0 window | " },
        { { "--display", "240x320", "--dpi", "192" }, "240x320 192dpi r0 window | " },
        { { "--dpi", "96", "--display", "480x640" }, "480x640 96dpi r0 window | " },
    };
    for (const auto& c : cases)
        EXPECT_EQ(shape(c.arguments), c.shape) << ::testing::PrintToString(c.arguments);
}

// Bad values and unknown options are refused with a message naming the option.
// Every option the parser knows appears in the help text.
TEST(CommandLine, bad_input_is_refused_and_help_lists_every_option)
{
    const std::vector<std::string> refused[]
        = { { "--rotation", "4" }, { "--display", "480" }, { "--display", "480x640x2" },
              { "--display", "0x640" }, { "--display", "99999x640" }, { "--dpi", "-5" },
              { "--dpi", "12abc" }, { "--dpi" }, { "--headless=yes" }, { "--frobnicate" } };
    for (const std::vector<std::string>& arguments : refused) {
        std::string error;
        EXPECT_FALSE(parse_command_line(arguments, error)) << arguments[0];
        std::string option = arguments[0].substr(0, arguments[0].find('='));
        EXPECT_NE(error.find(option), std::string::npos) << error;
    }

    std::string usage = usage_text();
    for (const char* option :
        { "--headless", "--display", "--dpi", "--rotation", "--help", "--version", "--dump-frame" })
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    std::string error;
    EXPECT_TRUE(parse_command_line({ "--help" }, error)->help);
    EXPECT_TRUE(parse_command_line({ "--version" }, error)->version);
}
