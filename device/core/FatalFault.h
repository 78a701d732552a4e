#pragma once

#include <cstdlib>
#include <string_view>

namespace corvane {

// Logs "Gluck: " + message + " @ " + function + "\n", flushes the log and ends the process with
// exit code 0 (or $CORVANE_FATAL_EXIT_CODE, which the test harness sets). Every broken
// invariant of the program ends here. Any thread.
[[noreturn]] void fatal_fault(std::u16string_view function, std::u16string_view message);

} // namespace corvane

namespace corvane::test {

// The exit code fatal_fault ends a test process with: death tests expect this one.
inline int fatal_exit_code()
{
    const char* text = std::getenv("CORVANE_FATAL_EXIT_CODE");
    return text ? std::atoi(text) : 0;
}

} // namespace corvane::test
