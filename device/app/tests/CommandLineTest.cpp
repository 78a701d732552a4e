#include "device/app/CommandLine.h"

#include <gtest/gtest.h>

using namespace corvane;

namespace {

std::optional<CommandLineOptions> parse(
    std::vector<std::string> arguments, std::string* error_out = nullptr)
{
    std::string error;
    auto options = parse_command_line(arguments, error);
    if (error_out)
        *error_out = error;
    return options;
}

} // namespace

// Without options the program gets a 480x640 display at 192 dpi, upright, in a window.
TEST(CommandLine, defaults)
{
    auto options = parse({});
    ASSERT_TRUE(options);
    EXPECT_FALSE(options->window.headless);
    EXPECT_EQ(options->window.width, 480);
    EXPECT_EQ(options->window.height, 640);
    EXPECT_EQ(options->window.dpi, 192);
    EXPECT_EQ(options->window.rotation, 0);
    EXPECT_TRUE(options->command_line().empty());
}

// Options take their values as the next argument or after "=", and the rest is the command line.
TEST(CommandLine, options_and_arguments)
{
    auto options = parse({ "--headless", "--display", "240x320", "--dpi=96", "open", "--rotation",
        "3", "two words" });
    ASSERT_TRUE(options);
    EXPECT_TRUE(options->window.headless);
    EXPECT_EQ(options->window.width, 240);
    EXPECT_EQ(options->window.height, 320);
    EXPECT_EQ(options->window.dpi, 96);
    EXPECT_EQ(options->window.rotation, 3);
    EXPECT_EQ(options->command_line(), u"open \"two words\"");
}

// Without --dpi the density follows the display: 96 up to 320 pixels on the short side, in either
// orientation, else 192; a given --dpi always wins.
TEST(CommandLine, density_follows_the_display)
{
    const struct {
        std::vector<std::string> arguments;
        std::int32_t dpi;
    } cases[] = {
        { { "--display", "240x320" }, 96 },
        { { "--display", "320x240" }, 96 },
        { { "--display", "320x480" }, 96 },
        { { "--display", "321x480" }, 192 },
        { { "--display", "640x480" }, 192 },
        { { "--display", "240x320", "--dpi", "192" }, 192 },
        { { "--dpi", "96", "--display", "480x640" }, 96 },
    };
    for (const auto& c : cases) {
        auto options = parse(c.arguments);
        ASSERT_TRUE(options);
        EXPECT_EQ(options->window.dpi, c.dpi) << c.arguments[1];
    }
}

// "--" hands everything after it to the program, even what looks like an option.
TEST(CommandLine, double_dash_ends_options)
{
    auto options = parse({ "--", "--headless", "say \"hi\"" });
    ASSERT_TRUE(options);
    EXPECT_FALSE(options->window.headless);
    EXPECT_EQ(options->command_line(), u"--headless \"say \\\"hi\\\"\"");
}

// Bad values and unknown options are refused with a message naming the option.
TEST(CommandLine, bad_input_is_refused)
{
    std::string error;
    EXPECT_FALSE(parse({ "--rotation", "4" }, &error));
    EXPECT_NE(error.find("--rotation"), std::string::npos);
    EXPECT_FALSE(parse({ "--display", "480" }, &error));
    EXPECT_NE(error.find("--display"), std::string::npos);
    EXPECT_FALSE(parse({ "--display", "480x640x2" }, &error));
    EXPECT_FALSE(parse({ "--display", "0x640" }, &error));
    EXPECT_FALSE(parse({ "--display", "99999x640" }, &error));
    EXPECT_FALSE(parse({ "--dpi", "-5" }, &error));
    EXPECT_FALSE(parse({ "--dpi", "12abc" }, &error));
    EXPECT_FALSE(parse({ "--dpi" }, &error));
    EXPECT_NE(error.find("--dpi"), std::string::npos);
    EXPECT_FALSE(parse({ "--headless=yes" }, &error));
    EXPECT_FALSE(parse({ "--frobnicate" }, &error));
    EXPECT_NE(error.find("--frobnicate"), std::string::npos);
}

// Every option the parser knows appears in the help text.
TEST(CommandLine, usage_lists_every_option)
{
    std::string usage = usage_text();
    for (const char* option :
        { "--headless", "--display", "--dpi", "--rotation", "--help", "--version", "--dump-frame" })
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    EXPECT_TRUE(parse({ "--help" })->help);
    EXPECT_TRUE(parse({ "--version" })->version);
}
