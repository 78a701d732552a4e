#pragma once

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <map>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/types.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

// How every test starts the programs it drives (the service, the device program, the launcher,
// X tools), so that each one is ended and reaped with its owner. Header only, so that tests and
// benchmarks use it without linking anything.
namespace corvane::test {

using namespace std::chrono_literals;

// Looks at `done` every 10 ms until it holds or `limit` has passed; answers done() at the end.
template<typename Condition> bool wait_until(Condition done, std::chrono::milliseconds limit = 20s)
{
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return done();
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

// The folder of the running test binary, where the build puts the programs and their data.
inline std::string program_folder()
{
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    std::string self(path, n > 0 ? static_cast<std::size_t>(n) : 0);
    return self.substr(0, self.find_last_of('/'));
}

// How a child starts. It inherits the environment except what `environment` sets and `unset`
// names. A stream without a file is inherited; "/dev/null" is a file too.
struct Launch {
    std::vector<std::string> arguments; // [0] is the program, looked up on PATH without a '/'
    std::map<std::string, std::string> environment;
    std::vector<std::string> unset;
    std::string directory;
    std::string output_file; // appended to
    std::string error_file; // appended to
    bool capture_output { false }; // read with read_output()
    std::optional<std::string> input; // its whole standard input
    bool own_group { false }; // signals reach its helpers as well
};

// A started program. Going, it is sent SIGTERM (its group with `own_group`), and SIGKILL when
// it has not ended within three seconds; it is always reaped.
class ChildProcess {
public:
    explicit ChildProcess(Launch launch)
        : m_group(launch.own_group)
    {
        int output[2] = { -1, -1 };
        int input[2] = { -1, -1 };
        if ((launch.capture_output && pipe2(output, O_CLOEXEC) != 0)
            || (launch.input && pipe2(input, O_CLOEXEC) != 0)) {
            close_both(output);
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (!launch.directory.empty())
            posix_spawn_file_actions_addchdir_np(&actions, launch.directory.c_str());
        if (input[0] >= 0)
            posix_spawn_file_actions_adddup2(&actions, input[0], 0);
        if (output[1] >= 0)
            posix_spawn_file_actions_adddup2(&actions, output[1], 1);
        for (auto [fd, file] : { std::pair { 1, &launch.output_file }, { 2, &launch.error_file } })
            if (!file->empty() && (fd == 2 || output[1] < 0))
                posix_spawn_file_actions_addopen(
                    &actions, fd, file->c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        if (launch.own_group) {
            posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
            posix_spawnattr_setpgroup(&attributes, 0);
        }
        std::vector<std::string> environment = environment_for(launch);
        std::vector<char*> argv = pointers(launch.arguments);
        std::vector<char*> envp = pointers(environment);
        if (argv[0] == nullptr
            || posix_spawnp(&m_pid, argv[0], &actions, &attributes, argv.data(), envp.data()) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
        if (output[1] >= 0) {
            close(output[1]);
            m_output_fd = output[0];
        }
        if (input[0] >= 0) {
            close(input[0]);
            // A closed reader must not kill the test with SIGPIPE; the write just fails then.
            std::signal(SIGPIPE, SIG_IGN);
            for (std::size_t at = 0; m_pid > 0 && at < launch.input->size();) {
                ssize_t n = write(input[1], launch.input->data() + at, launch.input->size() - at);
                if (n <= 0)
                    break;
                at += static_cast<std::size_t>(n);
            }
            close(input[1]);
        }
    }
    ~ChildProcess()
    {
        if (m_output_fd >= 0)
            close(m_output_fd);
        if (m_pid <= 0)
            return;
        if (!m_status) {
            signal(SIGTERM);
            if (!wait_status(3s)) {
                signal(SIGKILL);
                waitpid(m_pid, nullptr, 0);
            }
        }
        // Helpers that outlived the program go with its group.
        if (m_group)
            kill(-m_pid, SIGKILL);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return m_pid > 0; }
    pid_t pid() const { return m_pid; }

    // The waitpid() status once it has ended within `limit`; nothing while it runs.
    std::optional<int> wait_status(std::chrono::milliseconds limit = 20s)
    {
        if (m_pid <= 0 || m_status)
            return m_status;
        wait_until(
            [&] {
                int status = 0;
                if (waitpid(m_pid, &status, WNOHANG) == m_pid)
                    m_status = status;
                return m_status.has_value();
            },
            limit);
        return m_status;
    }
    // The exit code, or 128 + the signal that ended it; nothing while it runs.
    std::optional<int> wait_exit(std::chrono::milliseconds limit = 20s)
    {
        std::optional<int> status = wait_status(limit);
        if (!status)
            return std::nullopt;
        return WIFEXITED(*status) ? WEXITSTATUS(*status) : 128 + WTERMSIG(*status);
    }
    bool is_running() { return started() && !wait_status(0ms); }
    void signal(int number)
    {
        if (m_pid > 0 && !m_status)
            kill(m_group ? -m_pid : m_pid, number);
    }

    // Reads the captured output until `enough` holds for all read so far, the output ends or
    // `limit` passes; answers enough() at the end.
    template<typename Enough> bool read_output(Enough enough, std::chrono::milliseconds limit = 20s)
    {
        auto deadline = std::chrono::steady_clock::now() + limit;
        while (!enough(m_output)) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd ready { m_output_fd, POLLIN, 0 };
            char buffer[4096];
            ssize_t n = 0;
            if (m_output_fd < 0 || left.count() <= 0
                || poll(&ready, 1, static_cast<int>(left.count())) <= 0
                || (n = read(m_output_fd, buffer, sizeof buffer)) <= 0)
                return enough(m_output);
            m_output.append(buffer, static_cast<std::size_t>(n));
        }
        return true;
    }
    const std::string& output() const { return m_output; }

private:
    static void close_both(int (&fds)[2])
    {
        for (int fd : fds)
            if (fd >= 0)
                close(fd);
    }
    static std::vector<std::string> environment_for(const Launch& launch)
    {
        std::vector<std::string> out;
        for (char** entry = environ; *entry; ++entry) {
            std::string text = *entry;
            std::string name = text.substr(0, text.find('='));
            // getenv() takes the first of two entries with one name, so a value given here must
            // replace the inherited one rather than follow it.
            bool replaced = launch.environment.contains(name);
            for (const std::string& dropped : launch.unset)
                replaced = replaced || dropped == name;
            if (!replaced)
                out.push_back(std::move(text));
        }
        for (const auto& [name, value] : launch.environment)
            out.push_back(name + "=" + value);
        return out;
    }
    static std::vector<char*> pointers(std::vector<std::string>& texts)
    {
        std::vector<char*> out;
        for (std::string& text : texts)
            out.push_back(text.data());
        out.push_back(nullptr);
        return out;
    }

    pid_t m_pid { -1 };
    bool m_group { false };
    int m_output_fd { -1 };
    std::string m_output;
    std::optional<int> m_status;
};

// Runs a program to its end (at most a minute) and answers its exit code, -1 when it could not
// start or did not end; `output`, when given, receives its standard output.
inline int run_to_end(Launch launch, std::string* output = nullptr)
{
    launch.capture_output = output != nullptr;
    // A program that stays behind (xclip owning the clipboard) must not hold the test's output.
    if (!output && launch.output_file.empty())
        launch.output_file = "/dev/null";
    ChildProcess child(std::move(launch));
    if (!child.started())
        return -1;
    if (output) {
        child.read_output([](const std::string&) { return false; }, 60s);
        *output = child.output();
    }
    return child.wait_exit(60s).value_or(-1);
}

} // namespace corvane::test
