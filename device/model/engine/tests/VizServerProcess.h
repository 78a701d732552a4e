#pragma once

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace corvane::test {

// The real reference service as a child process on a free loopback port, with its database in
// a file the test owns. Stopping and starting again keeps the database.
class VizServerProcess {
public:
    VizServerProcess(std::string folder, std::vector<std::string> extra = {})
        : m_folder(std::move(folder))
        , m_extra(std::move(extra))
    {
    }
    ~VizServerProcess() { stop(); }
    VizServerProcess(const VizServerProcess&) = delete;
    VizServerProcess& operator=(const VizServerProcess&) = delete;

    static std::string binary()
    {
        char path[4096];
        ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
        std::string self(path, n > 0 ? static_cast<std::size_t>(n) : 0);
        return self.substr(0, self.find_last_of('/')) + "/vizserver";
    }
    std::string database() const { return m_folder + "/service.db"; }
    std::string log_file() const { return m_folder + "/service.log"; }
    std::string outbox() const { return m_folder + "/outbox"; }

    // Starts the service (on the port it had before, when restarting); false if it did not
    // announce its port within ten seconds.
    bool start()
    {
        std::error_code ignored;
        std::filesystem::create_directories(outbox(), ignored);
        std::string listen = "127.0.0.1:" + std::to_string(m_port);
        std::vector<std::string> args { binary(), "--listen", listen, "--db", database(),
            "--password-cost", "cheap", "--no-throttle", "--log", log_file(), "--outbox",
            outbox() };
        args.insert(args.end(), m_extra.begin(), m_extra.end());
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0)
            return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        int spawned = posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        if (spawned != 0) {
            close(out[0]);
            m_pid = -1;
            return false;
        }
        std::string line;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (
            line.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
            pollfd p { out[0], POLLIN, 0 };
            if (poll(&p, 1, 100) <= 0)
                continue;
            char buffer[256];
            ssize_t n = read(out[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            line.append(buffer, static_cast<std::size_t>(n));
        }
        close(out[0]);
        std::size_t at = line.find("port ");
        if (at == std::string::npos)
            return false;
        m_port = std::stoi(line.substr(at + 5));
        return true;
    }

    void stop() { (void)signal_and_wait(SIGTERM); }

    // Sends `signal` and answers the exit status (-1 when the signal ended the service).
    int signal_and_wait(int signal)
    {
        if (m_pid <= 0)
            return -1;
        kill(m_pid, signal);
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Runs an admin subcommand on the same database; answers its exit code.
    int admin(std::vector<std::string> args)
    {
        args.insert(args.begin(), binary());
        args.push_back("--db");
        args.push_back(database());
        args.push_back("--password-cost");
        args.push_back("cheap");
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t pid;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0)
            return -1;
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    int port() const { return m_port; }
    std::u16string base_url() const
    {
        std::string url = "http://127.0.0.1:" + std::to_string(m_port) + "/";
        return std::u16string(url.begin(), url.end());
    }

    // The methods of the calls the service answered, in order, from its log.
    std::vector<std::string> methods() const
    {
        std::vector<std::string> out;
        FILE* f = std::fopen(log_file().c_str(), "r");
        if (!f)
            return out;
        char line[4096];
        while (std::fgets(line, sizeof line, f)) {
            // "<time> <address> <method> <status> ..."
            std::string text = line;
            std::size_t a = text.find(" 127.0.0.1 ");
            if (a == std::string::npos)
                continue;
            std::size_t start = a + 11;
            std::size_t end = text.find(' ', start);
            out.push_back(text.substr(start, end - start));
        }
        std::fclose(f);
        return out;
    }

private:
    std::string m_folder;
    std::vector<std::string> m_extra;
    pid_t m_pid { -1 };
    int m_port { 0 };
};

} // namespace corvane::test
