#pragma once

#include "testing/ChildProcess.h"

#include <string>

namespace lumbra::test {

using corvane::test::wait_until;

// The real lumbra program started in a medium folder, in its own process group so that it
// and WebKit's helper processes are all ended when the object goes.
class LumbraProcess : public corvane::test::ChildProcess {
public:
    // `registry` is the settings file given as LUMBRA_REGISTRY; output goes to `log_file`.
    LumbraProcess(
        const std::string& medium_folder, const std::string& registry, const std::string& log_file)
        : ChildProcess(launch(medium_folder, registry, log_file))
    {
    }

    // The waitpid() status once the program has ended within `timeout`, else nothing.
    std::optional<int> wait_for_exit(std::chrono::milliseconds timeout)
    {
        return wait_status(timeout);
    }

private:
    static corvane::test::Launch launch(
        const std::string& medium_folder, const std::string& registry, const std::string& log_file)
    {
        corvane::test::Launch launch;
        launch.arguments = { LUMBRA_EXECUTABLE };
        launch.environment = { { "LUMBRA_REGISTRY", registry }, { "LC_ALL", "C.UTF-8" } };
        launch.directory = medium_folder;
        launch.output_file = log_file;
        launch.error_file = log_file;
        launch.own_group = true;
        return launch;
    }
};

} // namespace lumbra::test
