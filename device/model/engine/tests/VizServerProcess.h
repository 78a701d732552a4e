#pragma once

#include "device/net/tests/RawSocketServer.h"
#include "testing/ChildProcess.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

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

    static std::string binary() { return program_folder() + "/vizserver"; }
    std::string database() const { return m_folder + "/service.db"; }
    std::string log_file() const { return m_folder + "/service.log"; }
    std::string outbox() const { return m_folder + "/outbox"; }

    // Starts the service (on the port it had before, when restarting); false if it did not
    // announce its port within ten seconds.
    bool start()
    {
        std::error_code ignored;
        std::filesystem::create_directories(outbox(), ignored);
        Launch launch;
        launch.arguments = { binary(), "--listen", "127.0.0.1:" + std::to_string(m_port), "--db",
            database(), "--password-cost", "cheap", "--no-throttle", "--log", log_file(),
            "--outbox", outbox() };
        launch.arguments.insert(launch.arguments.end(), m_extra.begin(), m_extra.end());
        launch.capture_output = true;
        m_process = std::make_unique<ChildProcess>(std::move(launch));
        auto line_done
            = [](const std::string& text) { return text.find('\n') != std::string::npos; };
        if (!m_process->read_output(line_done, 10s))
            return false;
        std::size_t at = m_process->output().find("port ");
        if (at == std::string::npos)
            return false;
        m_port = std::stoi(m_process->output().substr(at + 5));
        return true;
    }

    void stop() { (void)signal_and_wait(SIGTERM); }

    // Sends `signal` and answers the exit status (-1 when the signal ended the service).
    int signal_and_wait(int signal)
    {
        if (!m_process)
            return -1;
        m_process->signal(signal);
        std::optional<int> status = m_process->wait_status(60s);
        m_process.reset();
        return status && WIFEXITED(*status) ? WEXITSTATUS(*status) : -1;
    }

    // Runs an admin subcommand on the same database; answers its exit code.
    int admin(std::vector<std::string> args)
    {
        Launch launch;
        launch.arguments = std::move(args);
        launch.arguments.insert(launch.arguments.begin(), binary());
        launch.arguments.insert(
            launch.arguments.end(), { "--db", database(), "--password-cost", "cheap" });
        launch.error_file = "/dev/null";
        return run_to_end(std::move(launch));
    }

    int port() const { return m_port; }
    std::u16string base_url() const { return loopback_url(m_port); }

    // The methods of the calls the service answered, in order, from its log.
    std::vector<std::string> methods() const
    {
        std::vector<std::string> out;
        std::ifstream log(log_file());
        for (std::string line; std::getline(log, line);) { // "<time> <address> <method> ..."
            std::size_t at = line.find(" 127.0.0.1 ");
            if (at != std::string::npos)
                out.push_back(line.substr(at + 11, line.find(' ', at + 11) - at - 11));
        }
        return out;
    }
    long calls_of(const std::string& method) const
    {
        std::vector<std::string> all = methods();
        return std::count(all.begin(), all.end(), method);
    }

private:
    std::string m_folder;
    std::vector<std::string> m_extra;
    std::unique_ptr<ChildProcess> m_process;
    int m_port { 0 };
};

} // namespace corvane::test
