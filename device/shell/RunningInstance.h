#pragma once

#include "common/base/Text.h"

#include <memory>

namespace corvane {

class InstanceWindow;
class StartupMutex;

// Only one instance of the program runs. A second one hands its command line to the first and
// ends. Main thread.
struct SingleInstanceState {
    WString name;
    WString class_name; // "VellumClass_" + name: the window class and the start-up mutex
    WString command_line;
    bool found { false };
    std::unique_ptr<StartupMutex> mutex; // owned until the window exists or the process ends
    // A scripted run or a preview neither hands over nor listens: the socket stays with the
    // running instance, so later starts still find it.
    bool tool_run { false };
};

SingleInstanceState& single_instance_state();

WString window_class_name(WStringView application_name);

// Takes the start-up mutex and looks for a running instance. True when one exists and has been
// given this command line: this process must then end. The mutex stays owned otherwise, until
// release_startup_mutex().
[[nodiscard]] bool show_running_instance(WStringView command_line, WStringView name);

// Looks at one window of the enumeration; false ends it (the other instance was found and told).
bool EnumProc(InstanceWindow& window);

// Called once this process's window can be found, and at exit.
void release_startup_mutex();

// What a second instance sends in place of an empty command line.
inline constexpr char16_t command_line_empty[] = u"%CommandLineEmpty%";

} // namespace corvane
