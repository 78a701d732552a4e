#pragma once

#include <string_view>

namespace corvane {

// Logs "Gluck: " + message + " @ " + function + "\n", flushes the log and ends the process with
// exit code 0. Every broken invariant of the program ends here. Any thread.
[[noreturn]] void fatal_fault(std::u16string_view function, std::u16string_view message);

} // namespace corvane
