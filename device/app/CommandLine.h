#pragma once

#include "common/base/Text.h"
#include "device/platform/WindowBackend.h"

#include <optional>
#include <string>
#include <vector>

namespace corvane {

// What the device program was started with. Options start with "--" (a value may follow as the
// next argument or after "="); "--" ends the options; every other argument belongs to the
// command line that the program (or a running instance) receives.
struct CommandLineOptions {
    WindowOptions window;
    bool help { false };
    bool version { false };
    std::string dump_frame; // headless: write the last frame to this BMP file at exit
    std::string service_url; // the task service's base URL; empty = the settings' or the default
    std::string script; // a UI script to play against the program (docs/script.md)
    std::string preview_skin; // show one node of this skin file as the only screen
    std::string preview_node;
    std::vector<std::string> arguments;

    // The arguments as one text, separated by spaces; an argument holding a space or a quote
    // is quoted.
    WString command_line() const;
};

// Nothing when the arguments are not understood; `error` then says why in one line.
std::optional<CommandLineOptions> parse_command_line(
    const std::vector<std::string>& arguments, std::string& error);

// The text that --help prints.
std::string usage_text();

} // namespace corvane
