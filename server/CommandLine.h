#pragma once

#include "server/ServiceConfig.h"

#include <string>
#include <vector>

namespace corvane::server {

// The program's command line: options for serving, or an admin subcommand with its arguments
// and the same options (--db above all).
struct CommandLine {
    ServiceConfig config;
    std::string subcommand; // Empty: serve.
    std::vector<std::string> arguments;
    bool help { false };
    std::string error; // Set when the line cannot be used.
};

CommandLine parse_command_line(int argc, const char* const* argv);
std::string usage_text();

// "90", "90s", "15m", "24h", "30d" as milliseconds; false when the text is none of these.
bool parse_duration(const std::string& text, std::int64_t& milliseconds);

} // namespace corvane::server
