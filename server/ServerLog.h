#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace corvane::server {

// The service's log: one line per call and the operator's messages, to standard error or to a
// file. Never given passwords, keys or tickets. Thread safety: any thread; lines never
// interleave.
//
// A line is written with every control character as "\xNN" and cut at max_log_line bytes, so
// text that came from a client can neither forge a line nor grow the log without bound.
inline constexpr std::size_t max_log_line = 2048;
void log_line(std::string_view line);
// A line followed by a block of the service's own making, written as it is (a ticket block
// keeps its CR LF lines so that it can be copied out).
void log_block(std::string_view line, std::string_view block);
// Switches the log to a file (appending, created readable by its owner only); false when it
// cannot be opened.
bool set_log_file(const std::string& path);
void set_log_quiet(bool quiet); // Drops per-call lines (load tests).
bool is_log_quiet();

// The text as a log line holds it: control characters escaped, at most `limit` bytes.
std::string log_safe(std::string_view text, std::size_t limit = max_log_line);

} // namespace corvane::server
