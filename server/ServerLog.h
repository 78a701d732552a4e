#pragma once

#include <string>
#include <string_view>

namespace corvane::server {

// The service's log: one line per call and the operator's messages, to standard error or to a
// file. Never given passwords, keys or tickets. Thread safety: any thread; lines never
// interleave.
void log_line(std::string_view line);
// Switches the log to a file (appending); false when it cannot be opened.
bool set_log_file(const std::string& path);
void set_log_quiet(bool quiet); // Drops per-call lines (load tests).
bool is_log_quiet();

} // namespace corvane::server
