#pragma once

#include <string>
#include <vector>

namespace corvane {

// The device program from start to exit: the single-instance check, the application and its
// window, the splash skin and screen, the main loop, and the teardown in reverse order.
// `arguments` excludes the program name. Answers the process's exit code: 0 whenever the
// program ran (also when it handed over to a running instance or could not load its skins),
// 2 for arguments it does not understand (or a script it cannot read), 1 when no window system
// could be opened or a preview cannot be shown, 3 when a script's command or expectation failed.
int corvane_main(const std::vector<std::string>& arguments);

} // namespace corvane
