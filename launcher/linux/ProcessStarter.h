#pragma once

#include "launcher/OpenPlan.h"

#include <string>

namespace lumbra {

// Starts the program of a plan detached from the launcher: it is not waited for, and it
// never becomes a zombie of ours. Returns false and sets `error` when it could not be started
// (no such program, not executable, missing working folder). Main thread only.
[[nodiscard]] bool start_process(const OpenPlan& plan, std::string& error);

} // namespace lumbra
