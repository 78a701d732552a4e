#include "device/app/CommandLine.h"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace corvane {

namespace {

    using Values = std::vector<std::string_view>;

    struct OptionSpec {
        std::string_view name;
        std::string_view values; // placeholder names for --help; their count is the arity
        std::string_view help;
        bool (*apply)(CommandLineOptions& options, const Values& values, std::string& error);
    };

    bool parse_int(std::string_view text, std::int32_t low, std::int32_t high, std::int32_t& out)
    {
        std::int32_t value = 0;
        auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (failure != std::errc() || end != text.data() + text.size() || value < low
            || value > high)
            return false;
        out = value;
        return true;
    }

    bool apply_display(CommandLineOptions& options, const Values& values, std::string& error)
    {
        std::string_view text = values[0];
        std::size_t x = text.find('x');
        std::int32_t width = 0;
        std::int32_t height = 0;
        if (x == std::string_view::npos || !parse_int(text.substr(0, x), 16, 8192, width)
            || !parse_int(text.substr(x + 1), 16, 8192, height)) {
            error = "--display wants WIDTHxHEIGHT, each 16 to 8192 pixels (got \""
                + std::string(text) + "\")";
            return false;
        }
        options.window.width = width;
        options.window.height = height;
        return true;
    }

    bool apply_dpi(CommandLineOptions& options, const Values& values, std::string& error)
    {
        if (!parse_int(values[0], 1, 2000, options.window.dpi)) {
            error = "--dpi wants a number from 1 to 2000 (got \"" + std::string(values[0]) + "\")";
            return false;
        }
        return true;
    }

    bool apply_rotation(CommandLineOptions& options, const Values& values, std::string& error)
    {
        if (!parse_int(values[0], 0, 3, options.window.rotation)) {
            error = "--rotation wants 0, 1, 2 or 3 (got \"" + std::string(values[0]) + "\")";
            return false;
        }
        return true;
    }

    // The table every option lives in; one more row adds an option.
    const OptionSpec s_options[] = {
        { "--headless", "",
            "run without a window (frames stay in memory, messages go to standard error)",
            [](CommandLineOptions& o, const Values&, std::string&) {
                return o.window.headless = true;
            } },
        { "--display", "WxH", "display size at rotation 0 (default 480x640)", apply_display },
        { "--dpi", "N",
            "vertical dots per inch (default 96 when the display's short side is at most 320 "
            "pixels, else 192; 192 and up doubles skin pixels)",
            apply_dpi },
        { "--rotation", "R", "display rotation 0..3 in quarter turns (default 0; Ctrl+R turns it)",
            apply_rotation },
        { "--dump-frame", "FILE", "with --headless: write the last frame as a 16-bit BMP at exit",
            [](CommandLineOptions& o, const Values& v, std::string&) {
                o.dump_frame = std::string(v[0]);
                return true;
            } },
        { "--service", "URL",
            "the task service's base URL (default: \"ServiceURL\" in the settings, else "
            "http://127.0.0.1:8080/)",
            [](CommandLineOptions& o, const Values& v, std::string& error) {
                std::string url(v[0]);
                if (url.rfind("http://", 0) != 0 && url.rfind("https://", 0) != 0) {
                    error = "--service wants an http:// or https:// URL";
                    return false;
                }
                if (url.back() != '/')
                    url += '/';
                o.service_url = url;
                return true;
            } },
        { "--script", "FILE", "play the UI script FILE and exit with its result (docs/script.md)",
            [](CommandLineOptions& o, const Values& v, std::string&) {
                o.script = std::string(v[0]);
                return true;
            } },
        { "--preview", "SKINFILE NODE", "show the top-level NODE of SKINFILE as the only screen",
            [](CommandLineOptions& o, const Values& v, std::string&) {
                o.preview_skin = std::string(v[0]);
                o.preview_node = std::string(v[1]);
                return true;
            } },
        { "--help", "", "print this text and exit",
            [](CommandLineOptions& o, const Values&, std::string&) { return o.help = true; } },
        { "--version", "", "print the version and exit",
            [](CommandLineOptions& o, const Values&, std::string&) { return o.version = true; } },
    };

    std::size_t arity(const OptionSpec& spec)
    {
        std::size_t count = 0;
        bool in_word = false;
        for (char c : spec.values) {
            if (c != ' ' && !in_word)
                ++count;
            in_word = c != ' ';
        }
        return count;
    }

} // namespace

std::optional<CommandLineOptions> parse_command_line(
    const std::vector<std::string>& arguments, std::string& error)
{
    CommandLineOptions options;
    options.window.dpi = 0; // not given yet
    bool options_ended = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string_view argument = arguments[i];
        if (options_ended || !argument.starts_with("--")) {
            options.arguments.emplace_back(argument);
            continue;
        }
        if (argument == "--") {
            options_ended = true;
            continue;
        }
        std::string_view name = argument;
        std::optional<std::string_view> inline_value;
        if (std::size_t equals = argument.find('='); equals != std::string_view::npos) {
            name = argument.substr(0, equals);
            inline_value = argument.substr(equals + 1);
        }
        const OptionSpec* spec = nullptr;
        for (const OptionSpec& candidate : s_options) {
            if (candidate.name == name)
                spec = &candidate;
        }
        if (!spec) {
            error = "unknown option " + std::string(name) + " (try --help)";
            return std::nullopt;
        }
        std::size_t count = arity(*spec);
        Values values;
        if (inline_value) {
            if (count != 1) {
                error = std::string(name)
                    + (count == 0 ? " takes no value" : " takes its values as separate arguments");
                return std::nullopt;
            }
            values.push_back(*inline_value);
        } else {
            if (arguments.size() - 1 - i < count) {
                error = std::string(name) + " wants " + std::string(spec->values);
                return std::nullopt;
            }
            for (std::size_t k = 0; k < count; ++k)
                values.emplace_back(arguments[++i]);
        }
        if (!spec->apply(options, values, error))
            return std::nullopt;
    }
    // A small display at the doubling density would fit barely a word per line.
    if (options.window.dpi == 0)
        options.window.dpi
            = std::min(options.window.width, options.window.height) <= 320 ? 96 : 192;
    return options;
}

WString CommandLineOptions::command_line() const
{
    WString text;
    for (const std::string& argument : arguments) {
        if (!text.empty())
            text += u' ';
        WString wide = from_utf8(argument);
        if (wide.find_first_of(u" \t\"") == WString::npos && !wide.empty()) {
            text += wide;
            continue;
        }
        text += u'"';
        for (char16_t c : wide) {
            if (c == u'"')
                text += u'\\';
            text += c;
        }
        text += u'"';
    }
    return text;
}

std::string usage_text()
{
    std::string text = "Usage: corvane [OPTION]... [ARGUMENT]...\n"
                       "Corvane: shared projects and tasks on a phone-sized screen.\n"
                       "ARGUMENTs form the command line handed to the program (or to the instance\n"
                       "that is already running).\n\n";
    for (const OptionSpec& spec : s_options) {
        std::string left = "  " + std::string(spec.name);
        if (!spec.values.empty())
            left += " " + std::string(spec.values);
        if (left.size() < 22)
            left.resize(22, ' ');
        else
            left += "\n" + std::string(22, ' ');
        text += left + std::string(spec.help) + "\n";
    }
    return text;
}

} // namespace corvane
