#pragma once

#include "device/shell/SplashScreen.h"

#include <functional>
#include <string>
#include <vector>

namespace corvane {

// The device program from start to exit: the single-instance check, the application and its
// window, the splash skin and screen, the main loop, and the teardown in reverse order.
// `arguments` excludes the program name. Answers the process's exit code: 0 whenever the
// program ran (also when it handed over to a running instance or could not load its skins),
// 2 for arguments it does not understand (or a script it cannot read), 1 when no window system
// could be opened or a preview cannot be shown, 3 when a script's command or expectation failed.
// `starter` builds the program proper once the splash has loaded the language and the skin; it
// gets the service address chosen on the command line (empty: the settings' or the default).
class Application;
using ProgramStarter = std::function<std::unique_ptr<StartedProgram>(
    Application& application, Properties& properties, const std::string& service_choice)>;
int corvane_main(const std::vector<std::string>& arguments, ProgramStarter starter = {});

} // namespace corvane
