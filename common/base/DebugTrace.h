#pragma once

#include <string_view>

namespace corvane {

// Debug output of the code the device program and the service share. A program that keeps a debug
// log installs a sink; without one the text goes nowhere. Any thread.
using DebugTraceSink = void (*)(std::u16string_view text);

void set_debug_trace_sink(DebugTraceSink sink);
// Lets a caller skip composing text that nobody would read.
bool has_debug_trace_sink();
void debug_trace(std::u16string_view text);

} // namespace corvane
