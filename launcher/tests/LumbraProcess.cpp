#include "launcher/tests/LumbraProcess.h"

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace lumbra::test {

LumbraProcess::LumbraProcess(
    const std::string& medium_folder, const std::string& registry, const std::string& log_file)
{
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry) {
        std::string variable(*entry);
        if (variable.rfind("LUMBRA_REGISTRY=", 0) != 0 && variable.rfind("LC_ALL=", 0) != 0)
            environment.push_back(variable);
    }
    environment.push_back("LUMBRA_REGISTRY=" + registry);
    environment.push_back("LC_ALL=C.UTF-8");
    std::vector<char*> envp;
    for (std::string& variable : environment)
        envp.push_back(variable.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, medium_folder.c_str());
    posix_spawn_file_actions_addopen(
        &actions, 1, log_file.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);

    std::string program = LUMBRA_EXECUTABLE;
    char* argv[] = { program.data(), nullptr };
    if (posix_spawn(&m_pid, program.c_str(), &actions, &attributes, argv, envp.data()) != 0)
        m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
}

LumbraProcess::~LumbraProcess()
{
    if (m_pid <= 0)
        return;
    // The whole group: WebKit's web and network processes belong to it as well.
    kill(-m_pid, SIGTERM);
    if (!wait_for_exit(std::chrono::seconds(3))) {
        kill(-m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    // Helpers that outlived the launcher are gone with the group.
    kill(-m_pid, SIGKILL);
}

std::optional<int> LumbraProcess::wait_for_exit(std::chrono::milliseconds timeout)
{
    if (m_status || m_pid <= 0)
        return m_status;
    wait_until(
        [&] {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid)
                m_status = status;
            return m_status.has_value();
        },
        timeout);
    return m_status;
}

bool LumbraProcess::is_running()
{
    return started() && !wait_for_exit(std::chrono::milliseconds(0));
}

} // namespace lumbra::test
