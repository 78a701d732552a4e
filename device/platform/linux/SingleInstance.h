#pragma once

#include <string>

namespace corvane {

// The user's private runtime folder: $XDG_RUNTIME_DIR, else /tmp/corvane-<uid>, created with
// mode 0700. Empty when it cannot be had or is not safely ours (another owner, a symbolic link).
std::string runtime_folder();

// Where the lock file and the socket of a class name live: "<runtime folder>/<class name>" and
// the same with ".socket" appended.
std::string instance_lock_path(const std::u16string& class_name);
std::string instance_socket_path(const std::u16string& class_name);

} // namespace corvane
