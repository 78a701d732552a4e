#pragma once

#include <chrono>
#include <ctime>
#include <optional>
#include <string>
#include <sys/types.h>

namespace lumbra::test {

// The real lumbra program started in a medium folder, in its own process group so that it
// and WebKit's helper processes are all ended when the object goes.
class LumbraProcess {
public:
    // `registry` is the settings file given as LUMBRA_REGISTRY; output goes to `log_file`.
    LumbraProcess(
        const std::string& medium_folder, const std::string& registry, const std::string& log_file);
    ~LumbraProcess();
    LumbraProcess(const LumbraProcess&) = delete;
    LumbraProcess& operator=(const LumbraProcess&) = delete;

    pid_t pid() const { return m_pid; }
    bool started() const { return m_pid > 0; }

    // The exit status once the program has ended within `timeout`, else nothing.
    std::optional<int> wait_for_exit(std::chrono::milliseconds timeout);
    bool is_running();

private:
    pid_t m_pid { -1 };
    std::optional<int> m_status;
};

// Polls `condition` every 50 ms until it holds or `timeout` has passed.
template<typename Condition> bool wait_until(Condition condition, std::chrono::milliseconds timeout)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        struct timespec pause {
            0, 50'000'000
        };
        nanosleep(&pause, nullptr);
    }
}

} // namespace lumbra::test
