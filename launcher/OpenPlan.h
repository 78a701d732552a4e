#pragma once

#include "launcher/Platform.h"

#include <string>
#include <string_view>
#include <vector>

// Deciding how to open a file, program or URL on this system. Looks at the file system but
// starts nothing; any thread.
namespace lumbra {

struct OpenPlan {
    std::vector<std::string> argv; // argv[0] is an absolute program path.
    std::string working_folder; // Empty: keep the launcher's current folder.
    std::string error; // Set instead of argv when the request cannot be opened.
};

// Splits a command line into arguments: blanks separate them, double quotes group text with
// blanks, and a backslash before a double quote makes it literal.
std::vector<std::string> split_command_line(std::string_view command_line);

// The first executable file called `name` in the folders of `search_path` (colon-separated,
// as in $PATH); empty when there is none.
std::string find_program(std::string_view name, std::string_view search_path);

// A program path (or a program name found in `search_path`) is started directly with the
// request's parameters; any other existing file or folder, and any URL, goes to xdg-open.
// Relative paths are taken from `current_folder`. "\" separators are read as "/".
OpenPlan plan_open(
    const OpenRequest& request, std::string_view current_folder, std::string_view search_path);

} // namespace lumbra
